#pragma once
// ClipboardHost: the system clipboard's Unicode text.
#include <string>

namespace octile {

class ClipboardHost {
  public:
    virtual ~ClipboardHost() = default;

    virtual void SetClipboardText(const std::u16string& text) = 0;
    virtual std::u16string GetClipboardText() = 0;
};

}  // namespace octile

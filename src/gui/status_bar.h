#pragma once
// CStatusBarEx2: the main window's status bar. Nine panes in a row: the
// message pane, five mark panes filled with the mark colours, the access
// mode, the character code and the address range. The main window fills
// them from CMainFrame; a click on a pane is reported with its index.
#include <QLabel>
#include <QStatusBar>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

namespace octile {

// One pane: a text, or (for a mark pane) a solid fill of its colour.
class StatusPane : public QLabel {
    Q_OBJECT
  public:
    StatusPane(int index, QWidget* parent = nullptr);

    // Owner-drawn panes show only their fill; the text just sets the width.
    void SetFill(uint32_t colour);
    std::optional<uint32_t> Fill() const { return fill_; }
    // Makes the pane exactly as wide as its text in its font; the address
    // pane only at least as wide, as it stretches over the rest.
    void FitToText();
    // Empty room left and right of the text.
    static constexpr int kPadding = 3;

    std::function<void(int)> onClicked;

  protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    int index_;
    std::optional<uint32_t> fill_;
};

class CStatusBarEx2 : public QStatusBar {
    Q_OBJECT
  public:
    static constexpr int kPaneCount = 9;
    static constexpr int kAddressPane = 8;

    explicit CStatusBarEx2(QWidget* parent = nullptr);

    StatusPane* Pane(int index) const { return panes_[static_cast<size_t>(index)]; }
    // The colour of mark pane index + 1 (index 0 to 4); other indices are ignored.
    void SetMarkPaneColour(int index, uint32_t colour);
    // Sets a text pane (6 to 8) to its text and width.
    void SetPaneText(int index, const QString& text);
    // The message pane's width; the address pane takes what is left.
    void SetMessagePaneWidth(int width);

    // Called with the pane index of every click on a pane.
    std::function<void(int)> onPaneClicked;

  private:
    std::array<StatusPane*, kPaneCount> panes_{};
};

}  // namespace octile

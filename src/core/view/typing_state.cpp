#include "view/typing_state.h"

#include "charcode/charcode.h"
#include "charcode/cp932_table.h"

namespace octile {

TypedChar TypingState::Type(int32_t charCode, uint8_t byte, uint64_t offset, uint64_t openSerial) {
    TypedChar out;
    if (charCode == CODE_SJIS || charCode == CODE_UTF8) {
        pending_ = false;
        out.count = 1;
        out.bytes[0] = byte;
        return out;
    }
    const bool unicode = charCode == CODE_UNICODE;
    if (pending_) {
        pending_ = false;
        const uint8_t pair[3] = {lead_, byte, 0};
        if (unicode) {
            char16_t u[4];
            int overhang = 0;
            if (ShiftJisToWide(pair, 1, u, sizeof u, &overhang) == 1 && overhang == 1) {
                out.pair = true;
                out.bytes[0] = static_cast<uint8_t>(u[0] & 0xFF);
                out.bytes[1] = static_cast<uint8_t>(u[0] >> 8);
            }
        } else {
            uint8_t e[8] = {};
            if (ShiftJisToEuc(pair, 2, e) != 0) {
                out.pair = true;
                out.bytes[0] = e[0];
                out.bytes[1] = e[1];
            }
        }
        out.leadOffset = offset_;
        return out;
    }
    if (cp932::IsLeadByte(byte)) {
        pending_ = true;
        lead_ = byte;
        offset_ = offset;
        serial_ = openSerial;
        return out;
    }
    const uint8_t one[2] = {byte, 0};
    if (unicode) {
        char16_t u[4];
        if (ShiftJisToWide(one, 1, u, sizeof u, nullptr) == 1) {
            out.count = 2;
            out.bytes[0] = static_cast<uint8_t>(u[0] & 0xFF);
            out.bytes[1] = static_cast<uint8_t>(u[0] >> 8);
        } else {
            out.skipNext = true;
        }
    } else {
        uint8_t e[8] = {};
        const int n = ShiftJisToEuc(one, 1, e);
        out.count = n >= 2 ? 2 : n >= 1 ? 1 : 0;
        out.bytes[0] = e[0];
        out.bytes[1] = e[1];
    }
    return out;
}

}  // namespace octile

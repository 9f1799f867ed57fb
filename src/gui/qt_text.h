#pragma once
// Conversions between the core's strings and colours and Qt's.
#include <QColor>
#include <QFile>
#include <QString>
#include <cstdint>
#include <string>

namespace octile {

inline QString ToQString(const std::u16string& text) { return QString::fromStdU16String(text); }
inline std::u16string ToU16(const QString& text) { return text.toStdU16String(); }

// Paths are bytes in the file system's encoding (UTF-8 on Linux).
inline QString PathToQString(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}
inline std::string QStringToPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// Colours are 0x00BBGGRR.
inline QColor ToQColor(uint32_t colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}
inline uint32_t FromQColor(const QColor& colour) {
    return static_cast<uint32_t>(colour.red()) | (static_cast<uint32_t>(colour.green()) << 8) |
           (static_cast<uint32_t>(colour.blue()) << 16);
}

}  // namespace octile

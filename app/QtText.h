// The program's byte texts (the local code page: UTF-8 on Linux, GBK on
// Windows) as Qt's texts and back.
#pragma once

#include <QString>
#include <string>

namespace ravo {

inline QString Text(const std::string& bytes) { return QString::fromLocal8Bit(bytes); }
inline std::string Bytes(const QString& text) { return text.toLocal8Bit().toStdString(); }

}  // namespace ravo

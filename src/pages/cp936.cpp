#include "pages/cp936.h"

#include <QByteArray>
#include <QStringDecoder>
#include <QStringEncoder>

namespace vornik {

namespace {
// GBK is code page 936 as the platform's converter names it.
constexpr char kCodePage936[] = "GBK";
} // namespace

QString FromCp936(std::string_view text936)
{
    QStringDecoder decoder(kCodePage936);
    return decoder.decode(QByteArrayView(text936.data(), qsizetype(text936.size())));
}

std::string ToCp936(const QString& text)
{
    QStringEncoder encoder(kCodePage936);
    const QByteArray bytes = encoder.encode(text);
    return std::string(bytes.constData(), size_t(bytes.size()));
}

} // namespace vornik

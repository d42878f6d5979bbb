#include "gui/base/typedsecret.h"

#include <QByteArray>

#include "common/wipe.h"

SecretBytes TypedSecret(const QString& text)
{
    struct WipedOnExit {
        QByteArray bytes;
        ~WipedOnExit() { SecureFill(bytes.data(), static_cast<std::size_t>(bytes.size()), 0); }
    } utf8{text.toUtf8()};
    return SecretBytes(utf8.bytes.begin(), utf8.bytes.end());
}

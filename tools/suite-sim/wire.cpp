#include "wire.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <QUrlQuery>

namespace suitesim {

namespace {
constexpr qsizetype kMaxPending = 1 << 20;
constexpr qsizetype kMaxHead = 64 * 1024;
}  // namespace

QList<MessageSplitter::Piece> MessageSplitter::feed(const QByteArray& bytes) {
    QList<Piece> out;
    buffer_ += bytes;
    qsizetype start = 0;  // first byte not yet handed out
    for (qsizetype i = scanned_; i < buffer_.size(); ++i) {
        const char c = buffer_[i];
        if (depth_ == 0) {
            if (c != '{') continue;
            if (i > start) out.append({buffer_.mid(start, i - start), false});
            start = i;
            depth_ = 1;
            continue;
        }
        if (inString_) {
            if (escape_)
                escape_ = false;
            else if (c == '\\')
                escape_ = true;
            else if (c == '"')
                inString_ = false;
            continue;
        }
        if (c == '"')
            inString_ = true;
        else if (c == '{')
            ++depth_;
        else if (c == '}' && --depth_ == 0) {
            out.append({buffer_.mid(start, i + 1 - start), true});
            start = i + 1;
        }
    }
    if (depth_ == 0 && start < buffer_.size()) {
        out.append({buffer_.mid(start), false});
        start = buffer_.size();
    }
    buffer_.remove(0, start);
    scanned_ = buffer_.size();
    if (buffer_.size() > kMaxPending) {
        // A peer that opens an object and never closes it must not grow us without bound.
        out.append({buffer_, false});
        buffer_.clear();
        scanned_ = 0;
        depth_ = 0;
        inString_ = escape_ = false;
    }
    return out;
}

ServerMessage classifyMessage(const QByteArray& object) {
    ServerMessage m;
    const QJsonDocument doc = QJsonDocument::fromJson(object);
    if (!doc.isObject()) return m;
    const QJsonObject o = doc.object();
    m.code = o.value(QStringLiteral("idSyA")).toString();
    if (o.value(QStringLiteral("type")).toString() == QStringLiteral("id")) {
        m.kind = ServerMessage::Kind::Identify;
    } else if (o.contains(QStringLiteral("status"))) {
        m.kind = ServerMessage::Kind::Status;
        m.status = o.value(QStringLiteral("status")).toString();
    }
    return m;
}

std::optional<HttpRequest> takeHttpRequest(QByteArray& buffer, bool& bad) {
    bad = false;
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0) {
        bad = buffer.size() > kMaxHead;
        return std::nullopt;
    }
    if (end > kMaxHead) {
        bad = true;
        return std::nullopt;
    }
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    if (first.size() != 3 || !first[2].startsWith("HTTP/")) {
        bad = true;
        return std::nullopt;
    }
    qsizetype bodyLength = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == "content-length") {
            bool ok = false;
            bodyLength = line.mid(colon + 1).trimmed().toLongLong(&ok);
            if (!ok || bodyLength < 0 || bodyLength > kMaxPending) {
                bad = true;
                return std::nullopt;
            }
        }
    }
    if (buffer.size() < end + 4 + bodyLength) return std::nullopt;
    buffer.remove(0, end + 4 + bodyLength);
    return HttpRequest{first[0], first[1]};
}

std::optional<QString> branchOfJobTarget(const QByteArray& target) {
    if (!target.startsWith('/')) return std::nullopt;
    const QUrl url(QStringLiteral("https://localhost") + QString::fromLatin1(target),
                   QUrl::StrictMode);
    if (!url.isValid() || url.path() != QStringLiteral("/")) return std::nullopt;
    const QUrlQuery query(url);
    if (query.queryItemValue(QStringLiteral("r"), QUrl::FullyDecoded) !=
            QStringLiteral("servicio/getImpresiones") ||
        !query.hasQueryItem(QStringLiteral("idSyA")))
        return std::nullopt;
    return query.queryItemValue(QStringLiteral("idSyA"), QUrl::FullyDecoded);
}

QByteArray httpResponse(int status, const QByteArray& contentType, const QByteArray& body) {
    QByteArray reason = "OK";
    if (status == 400)
        reason = "Bad Request";
    else if (status == 404)
        reason = "Not Found";
    else if (status >= 500)
        reason = "Internal Server Error";
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\n";
    out += "Content-Type: " + contentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    out += "Cache-Control: no-store\r\nConnection: keep-alive\r\n\r\n";
    out += body;
    return out;
}

QString logField(const QString& text) {
    if (text.isEmpty()) return QStringLiteral("\"\"");
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
            case '\\':
                out += QStringLiteral("\\\\");
                break;
            case '\r':
                out += QStringLiteral("\\r");
                break;
            case '\n':
                out += QStringLiteral("\\n");
                break;
            case '\t':
                out += QStringLiteral("\\t");
                break;
            case ' ':
                out += QStringLiteral("\\x20");
                break;
            default:
                if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                    out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
                else
                    out += c;
        }
    }
    return out;
}

}  // namespace suitesim

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace suitesim {

/**
 * Splits the print server's messages out of the notification stream. The server writes
 * JSON objects back to back, with no separator, and TCP may cut or merge them freely: feed
 * every delivery in arrival order and take the complete objects as they close. Bytes seen
 * outside an object are kept as noise so that the log shows them.
 */
class MessageSplitter {
  public:
    struct Piece {
        QByteArray text;
        bool object = false;  // false: stray bytes between objects
    };

    QList<Piece> feed(const QByteArray& bytes);
    // Bytes of an object that has not closed yet.
    qsizetype pendingSize() const { return buffer_.size(); }

  private:
    QByteArray buffer_;
    qsizetype scanned_ = 0;
    int depth_ = 0;
    bool inString_ = false;
    bool escape_ = false;
};

/** What one message of the print server says, as far as the simulator cares. */
struct ServerMessage {
    enum class Kind { Identify, Status, Other };
    Kind kind = Kind::Other;
    QString code;    // idSyA
    QString status;  // status text, for Kind::Status
};

ServerMessage classifyMessage(const QByteArray& object);

/** One HTTP request taken off the front of a connection's buffer. */
struct HttpRequest {
    QByteArray method;
    QByteArray target;
};

/**
 * Takes the next complete request from buffer (removing it). Returns nothing while the
 * request is incomplete; sets bad when the buffer cannot be a request (no request line,
 * or a head larger than 64 KiB).
 */
std::optional<HttpRequest> takeHttpRequest(QByteArray& buffer, bool& bad);

/** The branch code asked for by a job fetch target "/?r=servicio/getImpresiones&idSyA=CODE". */
std::optional<QString> branchOfJobTarget(const QByteArray& target);

QByteArray httpResponse(int status, const QByteArray& contentType, const QByteArray& body);

/** A field for a log line: backslash, blanks and control characters escaped so fields split on
 * blanks. */
QString logField(const QString& text);

}  // namespace suitesim

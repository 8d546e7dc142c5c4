#include "core/buscador_https.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSslCertificate>
#include <QStringDecoder>
#include <QUrl>
#include <utility>

namespace core {

namespace {

constexpr qint64 kMegabyte = 1024 * 1024;
constexpr qint64 kBufferLectura = 4 * kMegabyte;

QString decodificarEntidad(const QString& nombre) {
    if (nombre.startsWith(u'#')) {
        bool ok = false;
        const uint cp = nombre.startsWith(QLatin1String("#x"), Qt::CaseInsensitive)
                            ? nombre.mid(2).toUInt(&ok, 16)
                            : nombre.mid(1).toUInt(&ok, 10);
        if (!ok || cp == 0 || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff))
            return QString(QChar(0xfffd));
        const char32_t c = cp;
        return QString::fromUcs4(&c, 1);
    }
    static const QHash<QString, QString> nombres = {
        {"amp", "&"},    {"lt", "<"},     {"gt", ">"},
        {"quot", "\""},  {"apos", "'"},   {"nbsp", QString(QChar(0xa0))},
        {"aacute", "á"}, {"eacute", "é"}, {"iacute", "í"},
        {"oacute", "ó"}, {"uacute", "ú"}, {"ntilde", "ñ"},
        {"Aacute", "Á"}, {"Eacute", "É"}, {"Iacute", "Í"},
        {"Oacute", "Ó"}, {"Uacute", "Ú"}, {"Ntilde", "Ñ"},
        {"uuml", "ü"},   {"Uuml", "Ü"},   {"copy", "©"},
    };
    return nombres.value(nombre);
}

}  // namespace

QString sinEtiquetasHtml(const QString& html) {
    QString t = html;
    static const QRegularExpression comentarios(QStringLiteral("<!--.*?-->"),
                                                QRegularExpression::DotMatchesEverythingOption);
    t.remove(comentarios);
    static const QRegularExpression cuerpo(
        QStringLiteral("<body[^>]*>(.*?)(</body\\s*>|$)"),
        QRegularExpression::DotMatchesEverythingOption | QRegularExpression::CaseInsensitiveOption);
    const auto m = cuerpo.match(t);
    if (m.hasMatch()) t = m.captured(1);
    static const QRegularExpression scripts(
        QStringLiteral("<(script|style)\\b[^>]*>.*?</\\1\\s*>"),
        QRegularExpression::DotMatchesEverythingOption | QRegularExpression::CaseInsensitiveOption);
    t.remove(scripts);
    static const QRegularExpression etiquetas(QStringLiteral("<[A-Za-z/!?][^>]*>"));
    t.remove(etiquetas);
    return t;
}

QString textoVisibleHtml(const QString& html) {
    const QString t = sinEtiquetasHtml(html);
    static const QRegularExpression entidades(
        QStringLiteral("&(#[0-9]+|#[xX][0-9a-fA-F]+|[A-Za-z]+);"));
    QString r;
    qsizetype desde = 0;
    auto it = entidades.globalMatch(t);
    while (it.hasNext()) {
        const auto e = it.next();
        const QString valor = decodificarEntidad(e.captured(1));
        r += t.mid(desde, e.capturedStart() - desde);
        r += valor.isNull() ? e.captured(0) : valor;
        desde = e.capturedEnd();
    }
    r += t.mid(desde);
    return r;
}

QString decodificarCuerpo(const QByteArray& cuerpo, const QByteArray& contentType) {
    static const QRegularExpression charset(QStringLiteral("charset\\s*=\\s*\"?([A-Za-z0-9._:-]+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto m = charset.match(QString::fromLatin1(contentType));
    if (m.hasMatch()) {
        QStringDecoder d(m.captured(1).toLatin1().constData());
        if (d.isValid()) return d.decode(cuerpo);
    }
    return QString::fromUtf8(cuerpo);
}

BuscadorHttps::BuscadorHttps(QObject* parent)
    : Buscador(parent),
      red_(new QNetworkAccessManager(this)),
      ssl_(QSslConfiguration::defaultConfiguration()) {
    ssl_.setPeerVerifyMode(QSslSocket::VerifyPeer);
    reloj_.setSingleShot(true);
    connect(&reloj_, &QTimer::timeout, this, [this] {
        if (!actual_) return;
        vencido_ = true;
        actual_->abort();
    });
}

BuscadorHttps::~BuscadorHttps() {
    abandonar();
}

bool BuscadorHttps::agregarCertificados(const QString& archivoPem) {
    const auto certs = QSslCertificate::fromPath(archivoPem, QSsl::Pem);
    if (certs.isEmpty()) return false;
    // Setting any list turns off the system's authorities, which Qt otherwise loads on
    // demand: the list set is the system's plus the file's.
    auto cas = ssl_.caCertificates();
    for (const auto& lista : {QSslConfiguration::systemCaCertificates(), certs})
        for (const QSslCertificate& c : lista)
            if (!cas.contains(c)) cas.append(c);
    ssl_.setCaCertificates(cas);
    return true;
}

void BuscadorHttps::abandonar() {
    reloj_.stop();
    if (QNetworkReply* r = actual_) {
        actual_ = nullptr;
        r->disconnect(this);
        r->abort();
        r->deleteLater();
    }
}

// A fetch asked for while another runs waits for it and then runs once: the job service hands
// a document over as soon as its answer is written, so abandoning a running fetch could throw
// away a document that is already on its way. Several requests meanwhile make one fetch.
void BuscadorHttps::navegar(const QByteArray& url) {
    if (actual_) {
        siguiente_ = url;
        return;
    }
    iniciar(url);
}

void BuscadorHttps::iniciar(const QByteArray& url) {
    const QUrl u = QUrl::fromEncoded(url, QUrl::StrictMode);
    emit textoEstado(QStringLiteral("Conectando con ") + u.authority());
    QNetworkRequest req(u);
    req.setSslConfiguration(ssl_);
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                     QNetworkRequest::NoLessSafeRedirectPolicy);
    vencido_ = false;
    excedido_ = false;
    cuerpo_.clear();
    QNetworkReply* reply = red_->get(req);
    actual_ = reply;
    // The answer is taken as it arrives, so the network layer never holds more than a few
    // MB of it, and an answer over the limit is aborted before it is all in memory.
    reply->setReadBufferSize(kBufferLectura);
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] { leer(reply); });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] { leer(reply); });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { terminar(reply); });
    reloj_.start(tiempoMaximo_);
}

void BuscadorHttps::leer(QNetworkReply* reply) {
    if (reply != actual_ || excedido_) return;
    const QVariant largo = reply->header(QNetworkRequest::ContentLengthHeader);
    if ((largo.isValid() && largo.toLongLong() > maximoRespuesta_) ||
        cuerpo_.size() + reply->bytesAvailable() > maximoRespuesta_) {
        exceder(reply);
        return;
    }
    cuerpo_ += reply->readAll();
}

void BuscadorHttps::exceder(QNetworkReply* reply) {
    excedido_ = true;
    cuerpo_ = QByteArray();
    reply->abort();
}

void BuscadorHttps::terminar(QNetworkReply* reply) {
    if (reply != actual_) return;
    if (reply->error() == QNetworkReply::NoError) leer(reply);  // what is left of the answer
    reloj_.stop();
    actual_ = nullptr;
    reply->deleteLater();
    emit textoEstado(QStringLiteral("Listo"));
    informar(reply);
    // The fetch that was asked for meanwhile starts now (unless the result's handling already
    // started one, in which case it waits behind that one).
    if (!siguiente_.isEmpty() && !actual_) iniciar(std::exchange(siguiente_, QByteArray()));
}

void BuscadorHttps::informar(QNetworkReply* reply) {
    const int http = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    QByteArray cuerpo = std::exchange(cuerpo_, QByteArray());
    if (excedido_) {
        emit falloGrave(
            QStringLiteral("respuesta de mas de %1 MB").arg(maximoRespuesta_ / kMegabyte));
        return;
    }
    if (vencido_) {
        emit fallo(QStringLiteral("tiempo de espera agotado (%1 ms)").arg(tiempoMaximo_));
        return;
    }
    if (reply->error() != QNetworkReply::NoError && http < 400) {
        emit fallo(reply->errorString());
        return;
    }
    if (http >= 400) {
        emit fallo(QStringLiteral("HTTP %1 %2")
                       .arg(http)
                       .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString())
                       .trimmed());
        return;
    }
    const QByteArray tipo = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    QString texto = decodificarCuerpo(std::exchange(cuerpo, QByteArray()), tipo);
    if (tipo.toLower().contains("html")) texto = textoVisibleHtml(texto);
    emit completo(texto);
}

}  // namespace core

#include "core/buscador_https.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSslCertificate>
#include <QStringDecoder>
#include <QUrl>
#include <functional>
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

namespace {

// Tag stripping in one pass per construct, each linear: every search that found nothing
// from a position finds nothing from any later one, so it is never repeated.

bool esBlanco(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

bool esLetraDePalabra(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') ||
           u == u'_';
}

/** indexOf that remembers its last answer, for searches from positions that only grow. */
class Busqueda {
  public:
    explicit Busqueda(std::function<qsizetype(qsizetype)> buscar) : buscar_(std::move(buscar)) {}
    qsizetype desde(qsizetype inicio) {
        if (inicio_ < 0 || inicio < inicio_ || (encontrado_ >= 0 && encontrado_ < inicio)) {
            inicio_ = inicio;
            encontrado_ = buscar_(inicio);
        }
        return encontrado_;
    }

  private:
    std::function<qsizetype(qsizetype)> buscar_;
    qsizetype inicio_ = -1;
    qsizetype encontrado_ = -1;
};

// "</NAME" followed by blanks and ">" from a position: the start, and the end past ">".
std::pair<qsizetype, qsizetype> cierre(const QString& t, QLatin1StringView nombre,
                                       qsizetype desde) {
    const QString abre = QStringLiteral("</") + nombre;
    for (qsizetype i = t.indexOf(abre, desde, Qt::CaseInsensitive); i >= 0;
         i = t.indexOf(abre, i + 1, Qt::CaseInsensitive)) {
        qsizetype j = i + abre.size();
        while (j < t.size() && esBlanco(t.at(j))) ++j;
        if (j < t.size() && t.at(j) == u'>') return {i, j + 1};
    }
    return {-1, -1};
}

QString sinComentarios(const QString& t) {
    QString r;
    qsizetype desde = 0;
    for (;;) {
        const qsizetype i = t.indexOf(QLatin1String("<!--"), desde);
        if (i < 0) break;
        const qsizetype fin = t.indexOf(QLatin1String("-->"), i + 4);
        if (fin < 0) break;  // no later comment closes either
        r += QStringView(t).mid(desde, i - desde);
        desde = fin + 3;
    }
    r += QStringView(t).mid(desde);
    return r;
}

// The text between the first "<body...>" and its "</body>" (or the end, without a final
// line feed); the whole text when there is no body.
QString cuerpoHtml(const QString& t) {
    const qsizetype i = t.indexOf(QLatin1String("<body"), 0, Qt::CaseInsensitive);
    if (i < 0) return t;
    const qsizetype mayor = t.indexOf(u'>', i + 5);
    if (mayor < 0) return t;
    const qsizetype inicio = mayor + 1;
    qsizetype fin = cierre(t, QLatin1StringView("body"), inicio).first;
    if (fin < 0) {
        fin = t.size();
        if (fin > inicio && t.endsWith(u'\n')) --fin;
    }
    return t.mid(inicio, fin - inicio);
}

QString sinScripts(const QString& t) {
    Busqueda mayor([&t](qsizetype d) { return t.indexOf(u'>', d); });
    const QLatin1StringView nombres[] = {QLatin1StringView("script"), QLatin1StringView("style")};
    std::pair<qsizetype, qsizetype> cierres[2] = {{-2, -2}, {-2, -2}};
    qsizetype desdeCierre[2] = {-1, -1};
    QString r;
    qsizetype copiado = 0;
    qsizetype i = t.indexOf(u'<');
    while (i >= 0) {
        qsizetype siguiente = i + 1;
        for (int n = 0; n < 2; ++n) {
            const QLatin1StringView nombre = nombres[n];
            const qsizetype tras = i + 1 + nombre.size();
            if (!QStringView(t).mid(i + 1).startsWith(nombre, Qt::CaseInsensitive)) continue;
            if (tras < t.size() && esLetraDePalabra(t.at(tras))) continue;
            const qsizetype m = mayor.desde(tras);
            if (m < 0) break;
            // The close found from an earlier position still holds if it lies beyond m + 1.
            auto& c = cierres[n];
            if (c.first == -2 || m + 1 < desdeCierre[n] || (c.first >= 0 && c.first < m + 1)) {
                c = cierre(t, nombre, m + 1);
                desdeCierre[n] = m + 1;
            }
            if (c.first < 0) break;
            r += QStringView(t).mid(copiado, i - copiado);
            copiado = c.second;
            siguiente = c.second;
            break;
        }
        i = t.indexOf(u'<', siguiente);
    }
    r += QStringView(t).mid(copiado);
    return r;
}

QString sinEtiquetas(const QString& t) {
    QString r;
    qsizetype copiado = 0;
    qsizetype i = t.indexOf(u'<');
    while (i >= 0 && i + 1 < t.size()) {
        const char16_t c = t.at(i + 1).unicode();
        const bool abre = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'/' ||
                          c == u'!' || c == u'?';
        if (!abre) {
            i = t.indexOf(u'<', i + 1);
            continue;
        }
        const qsizetype m = t.indexOf(u'>', i + 2);
        if (m < 0) break;  // nothing later closes either
        r += QStringView(t).mid(copiado, i - copiado);
        copiado = m + 1;
        i = t.indexOf(u'<', m + 1);
    }
    r += QStringView(t).mid(copiado);
    return r;
}

}  // namespace

QString sinEtiquetasHtml(const QString& html) {
    return sinEtiquetas(sinScripts(cuerpoHtml(sinComentarios(html))));
}

namespace {

// The length of an entity's name at a position ("#241", "#xF1", "amp"), the ";" excluded;
// 0 when no entity starts there.
qsizetype largoEntidad(QStringView t) {
    auto corrida = [&t](qsizetype desde, auto&& acepta) {
        qsizetype j = desde;
        while (j < t.size() && acepta(t.at(j).unicode())) ++j;
        return j - desde;
    };
    auto digito = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    auto hex = [](char16_t c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    };
    auto letra = [](char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); };
    auto cerrada = [&t](qsizetype largo) { return largo < t.size() && t.at(largo) == u';'; };
    if (t.startsWith(u'#')) {
        if (const qsizetype n = corrida(1, digito); n > 0 && cerrada(1 + n)) return 1 + n;
        if (t.size() > 1 && (t.at(1) == u'x' || t.at(1) == u'X')) {
            if (const qsizetype n = corrida(2, hex); n > 0 && cerrada(2 + n)) return 2 + n;
        }
        return 0;
    }
    const qsizetype n = corrida(0, letra);
    return n > 0 && cerrada(n) ? n : 0;
}

}  // namespace

QString textoVisibleHtml(const QString& html) {
    const QString t = sinEtiquetasHtml(html);
    QString r;
    r.reserve(t.size());
    qsizetype desde = 0;
    for (qsizetype i = t.indexOf(u'&'); i >= 0; i = t.indexOf(u'&', i + 1)) {
        const qsizetype largo = largoEntidad(QStringView(t).mid(i + 1));
        if (largo == 0) continue;
        const QString valor = decodificarEntidad(t.mid(i + 1, largo));
        r += QStringView(t).mid(desde, i - desde);
        if (valor.isNull())
            r += QStringView(t).mid(i, largo + 2);
        else
            r += valor;
        desde = i + largo + 2;
        i = desde - 1;
    }
    r += QStringView(t).mid(desde);
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

#pragma once

#include <QPointer>
#include <QSslConfiguration>
#include <QTimer>

#include "core/conexion.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace core {

/** The visible text of an HTML page: the body's text with tags removed and entities decoded. */
QString textoVisibleHtml(const QString& html);

/**
 * The body of an HTML page with comments, scripts, styles and tags removed (entities kept).
 * Linear in the page's length, whatever is left unclosed.
 */
QString sinEtiquetasHtml(const QString& html);

/** Decodes a body by the charset of its Content-Type (UTF-8 when none or unknown). */
QString decodificarCuerpo(const QByteArray& cuerpo, const QByteArray& contentType);

/**
 * The job fetcher over HTTPS. Certificates are always verified, against the system's
 * authorities plus those of an optional CA file. A fetch that has not finished after the
 * time-out fails. A fetch asked for while one runs starts when the running one has ended
 * (requests meanwhile make one fetch), so that no answer already sent is thrown away.
 * An answer longer than the limit is aborted while it is read, holding no more than the
 * limit, and reported as a serious failure.
 */
class BuscadorHttps : public Buscador {
    Q_OBJECT
  public:
    explicit BuscadorHttps(QObject* parent = nullptr);
    ~BuscadorHttps() override;

    /** Adds the certificates of a PEM file; false when it holds none. */
    bool agregarCertificados(const QString& archivoPem);
    void setTiempoMaximo(int ms) { tiempoMaximo_ = ms; }
    /** The longest answer read, in bytes (64 MB by default). */
    void setMaximoRespuesta(qint64 bytes) { maximoRespuesta_ = bytes; }
    const QSslConfiguration& configuracionSsl() const { return ssl_; }

    void navegar(const QByteArray& url) override;

  private:
    void iniciar(const QByteArray& url);
    void terminar(QNetworkReply* reply);
    void informar(QNetworkReply* reply);
    void abandonar();
    void leer(QNetworkReply* reply);
    void exceder(QNetworkReply* reply);

    QNetworkAccessManager* red_;
    QSslConfiguration ssl_;
    QPointer<QNetworkReply> actual_;
    QTimer reloj_;
    int tiempoMaximo_ = 30000;
    qint64 maximoRespuesta_ = qint64(64) * 1024 * 1024;
    bool vencido_ = false;
    bool excedido_ = false;
    QByteArray cuerpo_;     // what the running fetch has read so far
    QByteArray siguiente_;  // a fetch asked for while one was running
};

}  // namespace core

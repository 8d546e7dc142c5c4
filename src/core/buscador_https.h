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

/** Decodes a body by the charset of its Content-Type (UTF-8 when none or unknown). */
QString decodificarCuerpo(const QByteArray& cuerpo, const QByteArray& contentType);

/**
 * The job fetcher over HTTPS. Certificates are always verified, against the system's
 * authorities plus those of an optional CA file. A fetch that has not finished after the
 * time-out fails. A fetch asked for while one runs starts when the running one has ended
 * (requests meanwhile make one fetch), so that no answer already sent is thrown away.
 */
class BuscadorHttps : public Buscador {
    Q_OBJECT
  public:
    explicit BuscadorHttps(QObject* parent = nullptr);
    ~BuscadorHttps() override;

    /** Adds the certificates of a PEM file; false when it holds none. */
    bool agregarCertificados(const QString& archivoPem);
    void setTiempoMaximo(int ms) { tiempoMaximo_ = ms; }

    void navegar(const QByteArray& url) override;

  private:
    void iniciar(const QByteArray& url);
    void terminar(QNetworkReply* reply);
    void informar(QNetworkReply* reply);
    void abandonar();

    QNetworkAccessManager* red_;
    QSslConfiguration ssl_;
    QPointer<QNetworkReply> actual_;
    QTimer reloj_;
    int tiempoMaximo_ = 30000;
    bool vencido_ = false;
    QByteArray siguiente_;  // a fetch asked for while one was running
};

}  // namespace core

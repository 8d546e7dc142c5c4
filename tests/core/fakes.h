#pragma once

#include <QStringList>
#include <deque>
#include <ostream>

#include "core/bandeja.h"
#include "core/conexion.h"
#include "core/dialogos.h"

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace pruebas {

/** A socket whose state the test sets and whose events the test raises. */
class ConexionFalsa : public core::Conexion {
  public:
    int estadoActual = 0;
    int conexiones = 0;
    int cierres = 0;
    QStringList enviados;
    QString entrante;

    int estado() const override { return estadoActual; }
    void cerrar() override {
        ++cierres;
        estadoActual = 0;
    }
    void conectar(const QString&, quint16) override {
        ++conexiones;
        estadoActual = 6;
    }
    void enviar(const QString& t) override { enviados << t; }
    QString recibirTodo() override { return std::exchange(entrante, QString()); }

    void abrir() {
        estadoActual = 7;
        emit conectado();
    }
    void llegar(const QString& t) {
        entrante += t;
        emit datos();
    }
};

class BuscadorFalso : public core::Buscador {
  public:
    QList<QByteArray> urls;
    void navegar(const QByteArray& url) override { urls << url; }
};

class BandejaFalsa : public core::Bandeja {
  public:
    struct Icono {
        core::IconoBandeja imagen;
        QString tip;
    };
    QList<Icono> iconos;
    QStringList globos;  // "icon|title|text"
    void setIcon(core::IconoBandeja imagen, const QString& tip) override {
        iconos.append({imagen, tip});
    }
    void showBalloonTip(const QString& m, int icono, const QString& titulo, int t) override {
        globos << QStringLiteral("%1|%2|%3|%4").arg(icono).arg(titulo, m).arg(t);
    }
};

/** Answers input boxes from a script and records what was asked. */
class DialogosFalsos : public core::Dialogos {
  public:
    std::deque<QString> respuestas;
    QStringList preguntas;  // "title|prompt"
    QStringList mensajes;
    QString archivo;
    QString filtro;
    std::function<void()> alPreguntar;

    QString inputBox(const QString& prompt, const QString& titulo) override {
        preguntas << titulo + u'|' + prompt;
        if (alPreguntar) alPreguntar();
        if (respuestas.empty())
            throw std::runtime_error("the prompt was asked more often than the test expected");
        QString r = respuestas.front();
        respuestas.pop_front();
        return r;
    }
    void msgBox(const QString& texto, core::IconoMensaje) override { mensajes << texto; }
    QString abrirArchivo(const QString& f) override {
        filtro = f;
        return archivo;
    }
};

}  // namespace pruebas

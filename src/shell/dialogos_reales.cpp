#include "shell/dialogos_reales.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QRegularExpression>

namespace shell {

QString filtroQt(const QString& filtro) {
    const QStringList partes = filtro.split(u'|');
    QStringList entradas;
    for (qsizetype i = 0; i + 1 < partes.size(); i += 2) {
        static const QRegularExpression separador(QStringLiteral("[,;]"));
        QStringList patrones = partes[i + 1].split(separador, Qt::SkipEmptyParts);
        for (QString& p : patrones) p = p.trimmed();
        entradas << partes[i] + QStringLiteral(" (") + patrones.join(u' ') + u')';
    }
    return entradas.join(QStringLiteral(";;"));
}

QString DialogosReales::inputBox(const QString& prompt, const QString& titulo) {
    bool ok = false;
    const QString t =
        QInputDialog::getText(ventana_, titulo, prompt, QLineEdit::Normal, QString(), &ok);
    return ok ? t : QString();
}

void DialogosReales::msgBox(const QString& texto, core::IconoMensaje icono) {
    QMessageBox::Icon i = QMessageBox::Information;
    if (icono == core::IconoMensaje::Exclamacion)
        i = QMessageBox::Warning;
    else if (icono == core::IconoMensaje::Critico)
        i = QMessageBox::Critical;
    QMessageBox caja(i, QApplication::applicationDisplayName(), texto, QMessageBox::Ok, ventana_);
    caja.exec();
}

QString DialogosReales::abrirArchivo(const QString& filtro) {
    return QFileDialog::getOpenFileName(ventana_, QString(), QString(), filtroQt(filtro));
}

void DialogosReales::information(const QString& text, const QString& title) {
    QMessageBox caja(QMessageBox::Information,
                     title.isEmpty() ? QApplication::applicationDisplayName() : title, text,
                     QMessageBox::Ok, ventana_);
    caja.exec();
}

void DialogosReales::warning(const QString& text, const QString& title) {
    QMessageBox caja(QMessageBox::Warning,
                     title.isEmpty() ? QApplication::applicationDisplayName() : title, text,
                     QMessageBox::Ok, ventana_);
    caja.exec();
}

QString DialogosReales::input(const QString& prompt, const QString& title,
                              const QString& defaultText) {
    bool ok = false;
    const QString t = QInputDialog::getText(
        ventana_, title.isEmpty() ? QApplication::applicationDisplayName() : title, prompt,
        QLineEdit::Normal, defaultText, &ok);
    return ok ? t : QString();
}

}  // namespace shell

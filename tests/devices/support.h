#pragma once

#include <QGuiApplication>
#include <QString>
#include <QStringList>
#include <vector>

#include "printing/entorno.h"

namespace devices_test {

struct Balloon {
    int icon;
    QString title;
    QString text;
};

/** Records balloons and log lines. */
class RecordedNotices : public printing::Avisos {
  public:
    void showBalloonTip(const QString& message, int icon, const QString& title, int) override {
        balloons.push_back({icon, title, message});
    }
    void agregarLog(const QString& line) override { log.append(line); }

    int count(const QString& title) const {
        int n = 0;
        for (const Balloon& b : balloons) n += b.title == title ? 1 : 0;
        return n;
    }

    std::vector<Balloon> balloons;
    QStringList log;
};

/** Fonts and pictures need a GUI application; one per test process, never a display. */
inline void ensureGuiApp() {
    if (QGuiApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "devices_tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = new QGuiApplication(argc, argv);  // lives as long as we do
    (void)app;
}

}  // namespace devices_test

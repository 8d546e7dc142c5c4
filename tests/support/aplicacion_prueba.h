#pragma once

// The Qt application a test executable needs, made once before its first test.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

namespace pruebas {

/** Makes an App (QCoreApplication, QApplication) unless one exists already. */
template <typename App>
class Aplicacion : public ::testing::Environment {
  public:
    explicit Aplicacion(const char* nombre, const char* nombreVisible = nullptr)
        : nombre_(nombre), nombreVisible_(nombreVisible) {}

    void SetUp() override {
        if (!QCoreApplication::instance()) new App(argc_, argv_);
        if constexpr (requires { App::setApplicationDisplayName(QString()); }) {
            if (nombreVisible_) App::setApplicationDisplayName(QString::fromUtf8(nombreVisible_));
        }
    }

  private:
    QByteArray nombre_;
    const char* nombreVisible_;
    int argc_ = 1;
    char* argv_[2] = {nombre_.data(), nullptr};
};

/** Registers the application of a test executable; keep the result in a file-level constant. */
template <typename App>
const ::testing::Environment* registrarAplicacion(const char* nombre,
                                                  const char* nombreVisible = nullptr) {
    return ::testing::AddGlobalTestEnvironment(new Aplicacion<App>(nombre, nombreVisible));
}

}  // namespace pruebas

#pragma once

#include <QString>
#include <QStringView>

// Lets tests join QString and u"" literals directly.
inline QString operator+(const QString& a, const char16_t* b) {
    QString r = a;
    r.append(QStringView(b));
    return r;
}
inline QString operator+(const char16_t* a, const QString& b) {
    QString r = QStringView(a).toString();
    r.append(b);
    return r;
}

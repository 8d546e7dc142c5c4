// Runs arbitrary scripts with dialogs that answer without a user.
#include <QString>
#include <cstdint>

#include "json/runtime_error.h"
#include "json/script.h"

namespace {

struct StubDialogs : json::ScriptDialogs {
    QString input(const QString& prompt, const QString&, const QString& defaultText) override {
        return prompt.size() % 2 ? defaultText : QStringLiteral("respuesta");
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    StubDialogs dialogs;
    json::JsonScript script(&dialogs);
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        script.eval(text);
        script.eval(text);  // variables set by the first run are read by the second
    } catch (const json::RuntimeError&) {
        // a bad top-level element is reported to the caller
    }
    return 0;
}

#pragma once

#include <QString>
#include <memory>

#include "value.h"

namespace json {

/**
 * The dialogs a script may open. The default shows nothing and answers every input with an
 * empty text, so that scripts run headless; the desktop shell supplies real dialogs.
 */
class ScriptDialogs {
  public:
    virtual ~ScriptDialogs() = default;
    /** An information message box (the script's alert). */
    virtual void information(const QString& text, const QString& title) {
        (void)text;
        (void)title;
    }
    /** A warning message box (a script that cannot be parsed). */
    virtual void warning(const QString& text, const QString& title) {
        (void)text;
        (void)title;
    }
    /** An input dialog; returns the text entered. */
    virtual QString input(const QString& prompt, const QString& title, const QString& defaultText) {
        (void)prompt;
        (void)title;
        (void)defaultText;
        return QString();
    }
};

/**
 * Runs scripts written as JSON and returns the text they produce. Variables set by a script
 * stay for the life of the instance. An instance is used by one caller at a time.
 */
class JsonScript {
  public:
    /** Dialogs default to the silent ones; the dialogs object must outlive the evaluator. */
    explicit JsonScript(ScriptDialogs* dialogs = nullptr);

    /**
     * Parses the text and runs every element of its root array. A parse error shows a warning
     * "Parser Error" with the error text and gives "". A root object, or a top-level number
     * or boolean, raises RuntimeError "Object required".
     */
    QString eval(const QString& text);

    /** Runs one value (text, literal, number, array or command object) and gives its output. */
    QString execCommand(const JsonValue& value);

    /** Runs at most this many nested values; deeper ones give the nesting message. */
    static constexpr int kMaxDepth = 40;

  private:
    QString runObject(const JsonObject& commands);
    QString runCommand(const QString& name, const JsonValue& v);
    QString runField(const JsonValue& v, const QString& field);

    ScriptDialogs* dialogs_;
    std::shared_ptr<JsonObject> variables_;  // created on first use
    int depth_ = 0;
};

}  // namespace json

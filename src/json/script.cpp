#include "json/script.h"

#include "json/parser.h"
#include "json/runtime_error.h"
#include "json/string_builder.h"

namespace json {

namespace {

ScriptDialogs& silentDialogs() {
    static ScriptDialogs dialogs;
    return dialogs;
}

// A field's text as it is stored, without running it.
QString storedText(const JsonValue& v) {
    switch (v.kind()) {
        case JsonValue::Kind::String:
            return v.string();
        case JsonValue::Kind::Null:
            return QStringLiteral("null");
        case JsonValue::Kind::Boolean:
            return v.boolean() ? QStringLiteral("true") : QStringLiteral("false");
        case JsonValue::Kind::Number:
            return v.number().toString(u'.');
        default:
            return QString();
    }
}

}  // namespace

JsonScript::JsonScript(ScriptDialogs* dialogs) : dialogs_(dialogs ? dialogs : &silentDialogs()) {}

QString JsonScript::eval(const QString& text) {
    const auto [root, errors] = parse(text);
    if (!errors.isEmpty() || root.isEmpty()) {
        dialogs_->warning(errors, QStringLiteral("Parser Error"));
        return QString();
    }
    if (!root.isArray()) throw RuntimeError::objectRequired();
    StringBuilder out;
    for (const JsonValue& element : *root.array()) {
        switch (element.kind()) {
            case JsonValue::Kind::Null:
                out.append(u"null");
                break;
            case JsonValue::Kind::String:
                out.append(element.string());
                break;
            case JsonValue::Kind::Object:
            case JsonValue::Kind::Array:
                out.append(execCommand(element));
                break;
            default:
                throw RuntimeError::objectRequired();
        }
    }
    return out.toString();
}

QString JsonScript::execCommand(const JsonValue& value) {
    if (depth_ > kMaxDepth) return QStringLiteral("ERROR: Nesting level exceeded.");
    struct Level {
        int& depth;
        explicit Level(int& d) : depth(d) { ++depth; }
        ~Level() { --depth; }
    } level(depth_);

    switch (value.kind()) {
        case JsonValue::Kind::Empty:
            return QString();
        case JsonValue::Kind::Null:
            return QStringLiteral("null");
        case JsonValue::Kind::Boolean:
        case JsonValue::Kind::Number:
        case JsonValue::Kind::String:
            return storedText(value);
        case JsonValue::Kind::Array: {
            StringBuilder out;
            for (const JsonValue& element : *value.array()) out.append(execCommand(element));
            return out.toString();
        }
        case JsonValue::Kind::Object:
            return runObject(*value.object());
    }
    return QString();
}

QString JsonScript::runObject(const JsonObject& commands) {
    StringBuilder out;
    for (int i = 0; i < commands.count(); ++i)
        out.append(runCommand(commands.keys()[i], commands.valueAt(i)));
    return out.toString();
}

// The output of one field of a command's value; a field the value does not hold is Empty.
QString JsonScript::runField(const JsonValue& v, const QString& field) {
    if (!v.isObject()) return QString();
    return execCommand(v.object()->item(field));
}

QString JsonScript::runCommand(const QString& name, const JsonValue& v) {
    const QString command = name.toLower();
    if (command == u"alert") {
        const QString message = runField(v, QStringLiteral("message"));
        const QString title = runField(v, QStringLiteral("title"));
        dialogs_->information(message, title);
        return QString();
    }
    if (command == u"input") {
        const QString prompt = runField(v, QStringLiteral("prompt"));
        const QString title = runField(v, QStringLiteral("title"));
        const QString defaultText = runField(v, QStringLiteral("default"));
        return dialogs_->input(prompt, title, defaultText);
    }
    if (command == u"set") {
        const QString variable = runField(v, QStringLiteral("name"));
        const QString text = runField(v, QStringLiteral("value"));
        if (!variables_) variables_ = std::make_shared<JsonObject>();
        variables_->set(variable, JsonValue(text));
        return QString();
    }
    if (command == u"get") {
        const QString variable = runField(v, QStringLiteral("name"));
        QString text;
        if (variables_) text = execCommand(variables_->item(variable));
        if (text.isEmpty()) text = runField(v, QStringLiteral("default"));
        return text;
    }
    if (command == u"if") {
        const QString a = runField(v, QStringLiteral("value1"));
        const QString b = runField(v, QStringLiteral("value2"));
        const QString type = runField(v, QStringLiteral("type")).toLower();
        bool holds = false;
        if (type == u"eq")
            holds = a.compare(b, Qt::CaseInsensitive) == 0;
        else if (type == u"gt")
            holds = a > b;
        else if (type == u"lt")
            holds = a < b;
        else if (type == u"gte")
            holds = a >= b;
        else if (type == u"lte")
            holds = a <= b;
        return runField(v, holds ? QStringLiteral("true") : QStringLiteral("false"));
    }
    if (command == u"switch") {
        QString fallback = runField(v, QStringLiteral("default"));
        const QString wanted = runField(v, QStringLiteral("case")).toLower();
        const JsonValue items =
            v.isObject() ? v.object()->item(QStringLiteral("items")) : JsonValue();
        if (items.isArray()) {
            for (const JsonValue& item : *items.array()) {
                if (!item.isObject()) continue;
                if (storedText(item.object()->item(QStringLiteral("case"))).toLower() == wanted)
                    return execCommand(item.object()->item(QStringLiteral("return")));
            }
        }
        return fallback;
    }
    if (command == u"return") return v.isString() ? v.string() : execCommand(v);

    // Any other command passes through as a template call.
    QString arguments;
    if (v.isObject()) {
        const JsonObject& fields = *v.object();
        StringBuilder joined;
        for (int i = 0; i < fields.count(); ++i) {
            if (i > 0) joined.append(u",");
            joined.append(execCommand(fields.valueAt(i)));
        }
        arguments = joined.toString();
    } else if (v.isString()) {
        arguments = v.string();
    } else {
        arguments = execCommand(v);
    }
    return QStringLiteral("<%") + name.toUpper() + u'(' + arguments + QStringLiteral(")%>");
}

}  // namespace json

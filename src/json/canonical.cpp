#include "json/canonical.h"

#include <vector>

namespace json {

namespace {

void putCodeUnitEscape(QByteArray& out, char16_t u) {
    static const char kHex[] = "0123456789abcdef";
    const char esc[6] = {
        '\\',         'u', kHex[(u >> 12) & 0xF], kHex[(u >> 8) & 0xF], kHex[(u >> 4) & 0xF],
        kHex[u & 0xF]};
    out.append(esc, 6);
}

void putUtf8(QByteArray& out, char32_t c) {
    if (c < 0x80) {
        out.append(static_cast<char>(c));
    } else if (c < 0x800) {
        out.append(static_cast<char>(0xC0 | (c >> 6)));
        out.append(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.append(static_cast<char>(0xE0 | (c >> 12)));
        out.append(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.append(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.append(static_cast<char>(0xF0 | (c >> 18)));
        out.append(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.append(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.append(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

void putString(QByteArray& out, const QString& s) {
    out.append('"');
    const char16_t* d = reinterpret_cast<const char16_t*>(s.constData());
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = d[i];
        if (u == u'"') {
            out.append("\\\"", 2);
        } else if (u == u'\\') {
            out.append("\\\\", 2);
        } else if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && d[i + 1] >= 0xDC00 &&
                   d[i + 1] <= 0xDFFF) {
            putUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (d[i + 1] - 0xDC00));
            ++i;
        } else if (u < 0x20 || (u >= 0xD800 && u <= 0xDFFF)) {
            putCodeUnitEscape(out, u);  // a control character or an unpaired surrogate
        } else {
            putUtf8(out, u);
        }
    }
    out.append('"');
}

// Written with an explicit stack: a tree may be nested as deep as the reader allows.
void put(QByteArray& out, const JsonValue& root) {
    struct Frame {
        const JsonValue* container;
        int next;  // index of the next member or element
    };
    std::vector<Frame> stack;
    auto putScalarOrOpen = [&](const JsonValue& v) {
        switch (v.kind()) {
            case JsonValue::Kind::Empty:
                out.append("empty");
                break;
            case JsonValue::Kind::Null:
                out.append("null");
                break;
            case JsonValue::Kind::Boolean:
                out.append(v.boolean() ? "true" : "false");
                break;
            case JsonValue::Kind::Number:
                out.append(v.number().toString(u'.').toLatin1());
                break;
            case JsonValue::Kind::String:
                putString(out, v.string());
                break;
            case JsonValue::Kind::Object:
                out.append('{');
                stack.push_back({&v, 0});
                break;
            case JsonValue::Kind::Array:
                out.append('[');
                stack.push_back({&v, 0});
                break;
        }
    };
    putScalarOrOpen(root);
    while (!stack.empty()) {
        Frame& top = stack.back();
        const JsonValue& c = *top.container;
        if (c.isObject()) {
            const JsonObject& o = *c.object();
            if (top.next >= o.count()) {
                out.append('}');
                stack.pop_back();
                continue;
            }
            const int i = top.next++;
            if (i > 0) out.append(',');
            putString(out, o.keys()[i]);
            out.append(':');
            putScalarOrOpen(o.valueAt(i));
        } else {
            const JsonArray& a = *c.array();
            if (top.next >= a.count()) {
                out.append(']');
                stack.pop_back();
                continue;
            }
            const int i = top.next++;
            if (i > 0) out.append(',');
            putScalarOrOpen(a.item(i + 1));
        }
    }
}

}  // namespace

QByteArray canonicalForm(const JsonValue& value) {
    QByteArray out;
    put(out, value);
    return out;
}

QString documentText(QByteArray bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
    return QString::fromUtf8(bytes);
}

QByteArray dumpText(const JsonValue& root, const QString& errors) {
    QByteArray out = root.isEmpty() ? QByteArray("nothing") : canonicalForm(root);
    out.append('\n');
    out.append(errors.toUtf8());
    return out;
}

}  // namespace json

#include "json/script.h"

#include <gtest/gtest.h>

#include "json/runtime_error.h"
#include "text_ops.h"

using namespace json;

namespace {

// Records every dialog and answers inputs from a list.
struct FakeDialogs : ScriptDialogs {
    QStringList shown;
    QStringList answers;
    void information(const QString& text, const QString& title) override {
        shown << u"info " + title + u": " + text;
    }
    void warning(const QString& text, const QString& title) override {
        shown << u"warning " + title + u": " + text;
    }
    QString input(const QString& prompt, const QString& title, const QString& def) override {
        shown << u"input " + title + u": " + prompt + u" [" + def + u"]";
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
};

QString nested(int depth, const QString& inner) {
    return QString(depth, u'[') + inner + QString(depth, u']');
}

}  // namespace

TEST(Script, TextsLiteralsAndNumbers) {
    JsonScript s;
    EXPECT_EQ(s.eval(uR"(["uno ", {"return": "dos"}])"_qs), u"uno dos");
    EXPECT_EQ(s.eval(uR"([[12.5, true, null, false, -3], null, "x"])"_qs),
              u"12.5truenullfalse-3nullx");
    EXPECT_EQ(s.eval(uR"([{"return": 1.5}, {"return": [1, "a"]}])"_qs), u"1.51a");
    EXPECT_EQ(s.eval(u"[]"_qs), QString());
}

TEST(Script, VariablesSurviveFromOneEvalToTheNext) {
    JsonScript s;
    EXPECT_EQ(
        s.eval(
            uR"([{"set": {"name": "x", "value": "1"}}, {"get": {"name": "x", "default": "0"}}])"_qs),
        u"1");
    EXPECT_EQ(s.eval(uR"([{"get": {"name": "x"}}, {"get": {"name": "y", "default": "d"}}])"_qs),
              u"1d");
    EXPECT_EQ(s.eval(uR"([{"set": {"name": "x", "value": ["a", 2]}}, {"get": {"name": "x"}}])"_qs),
              u"a2");
    EXPECT_EQ(
        s.eval(
            uR"([{"set": {"name": "x", "value": ""}}, {"get": {"name": "x", "default": "e"}}])"_qs),
        u"e");
    EXPECT_EQ(s.eval(uR"([{"get": {"name": "X", "default": "case"}}])"_qs), u"case");
    JsonScript other;
    EXPECT_EQ(other.eval(uR"([{"GET": {"name": "x"}}])"_qs), QString());
}

TEST(Script, IfComparesTexts) {
    JsonScript s;
    auto run = [&](const char* type) {
        return s.eval(QString::fromUtf8(R"([{"if": {"value1": "A", "value2": "a", "type": ")" +
                                        QByteArray(type) +
                                        R"(", "true": "yes", "false": "no"}}])"));
    };
    EXPECT_EQ(run("eq"), u"yes");  // equality ignores case
    EXPECT_EQ(run("EQ"), u"yes");
    EXPECT_EQ(run("gt"), u"no");  // "A" sorts before "a"
    EXPECT_EQ(run("lt"), u"yes");
    EXPECT_EQ(run("gte"), u"no");
    EXPECT_EQ(run("lte"), u"yes");
    EXPECT_EQ(run("ne"), u"no");
    EXPECT_EQ(s.eval(uR"([{"if": {"value1": "Ñ", "value2": "ñ", "type": "eq", "true": 1}}])"_qs),
              u"1");
    EXPECT_EQ(s.eval(uR"([{"if": {"value1": "a", "value2": "a", "type": "lte"}}])"_qs), QString());
}

TEST(Script, SwitchPicksTheFirstMatchingCase) {
    JsonScript s;
    const QString items =
        uR"("items": [{"case": "uno", "return": "1"}, {"case": "DOS", "return": ["2", "b"]},
                                        {"case": "dos", "return": "late"}, 7, {"case": 3, "return": "tres"}])"_qs;
    auto run = [&](const QString& c) {
        return s.eval(u"[{\"switch\": {\"case\": " + c + u", \"default\": \"none\", " + items +
                      u"}}]");
    };
    EXPECT_EQ(run(u"\"Dos\""_qs), u"2b");
    EXPECT_EQ(run(u"\"uno\""_qs), u"1");
    EXPECT_EQ(run(u"\"cuatro\""_qs), u"none");
    EXPECT_EQ(run(u"3"_qs), u"tres");
    EXPECT_EQ(run(u"{\"return\": \"UNO\"}"_qs), u"1");  // the case is run, the items' are not
    EXPECT_EQ(s.eval(uR"([{"switch": {"case": "a", "default": "d", "items": {"case": "a"}}}])"_qs),
              u"d");
}

TEST(Script, OtherCommandsPassThroughAsTemplateCalls) {
    JsonScript s;
    EXPECT_EQ(s.eval(uR"([{"total": {"a": "1", "b": "2"}}])"_qs), u"<%TOTAL(1,2)%>");
    EXPECT_EQ(s.eval(uR"([{"Fecha": "corta", "hora": {}}])"_qs), u"<%FECHA(corta)%><%HORA()%>");
    EXPECT_EQ(s.eval(uR"([{"sum": {"a": 1.5, "b": {"get": {"name": "v", "default": "x"}}}}])"_qs),
              u"<%SUM(1.5,x)%>");
}

TEST(Script, DialogsGoThroughTheInterface) {
    FakeDialogs d;
    d.answers << u"Ana"_qs;
    JsonScript s(&d);
    EXPECT_EQ(s.eval(uR"([{"alert": {"message": "hola", "title": "T"}},
                          {"input": {"prompt": "Nombre", "title": "Q", "default": "x"}}])"_qs),
              u"Ana");
    EXPECT_EQ(d.shown, (QStringList{u"info T: hola"_qs, u"input Q: Nombre [x]"_qs}));
    JsonScript silent;  // the default dialogs answer nothing
    EXPECT_EQ(silent.eval(uR"([{"input": {"prompt": "p"}}, "!"])"_qs), u"!");
}

TEST(Script, ParseErrorsShowAWarningAndGiveNothing) {
    FakeDialogs d;
    JsonScript s(&d);
    EXPECT_EQ(s.eval(u"[1,]"_qs), QString());
    EXPECT_EQ(s.eval(u"hola"_qs), QString());
    EXPECT_EQ(d.shown, (QStringList{u"warning Parser Error: Invalid number: ]\r\n"_qs,
                                    u"warning Parser Error: Invalid JSON"_qs}));
}

TEST(Script, BadTopLevelElementsRequireAnObject) {
    JsonScript s;
    for (const QString& script :
         {u"[12.5]"_qs, u"[true]"_qs, u"[\"a\", false]"_qs, u"{\"a\": 1}"_qs}) {
        try {
            s.eval(script);
            ADD_FAILURE() << qPrintable(script);
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), err::ObjectRequired);
            EXPECT_EQ(e.description(), u"Object required");
        }
    }
}

TEST(Script, NestingIsLimited) {
    JsonScript s;
    // 42 arrays as the only element: the innermost is the 42nd nested run
    EXPECT_EQ(s.eval(nested(43, QString())), u"ERROR: Nesting level exceeded.");
    EXPECT_EQ(s.eval(nested(42, QString())), QString());
    EXPECT_EQ(s.eval(nested(42, u"\"x\""_qs)), u"ERROR: Nesting level exceeded.");
    EXPECT_EQ(s.eval(nested(41, u"\"x\""_qs)), u"x");  // 40 arrays and the text: 41 runs
    EXPECT_EQ(s.eval(nested(500, u"1"_qs)), u"ERROR: Nesting level exceeded.");
    // the counter comes back down after each run
    EXPECT_EQ(s.eval(u"[" + nested(40, u"\"a\""_qs) + u"," + nested(40, u"\"b\""_qs) + u"]"),
              u"ab");
}

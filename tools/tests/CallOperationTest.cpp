#include "CallOperation.h"

#include <gtest/gtest.h>

#include <clocale>

using namespace tarv;
using namespace tarv::com;

namespace {

bool lookup(const QString& name, int32_t* v) {
    if (name.compare(QLatin1String("CURRENT_USER"), Qt::CaseInsensitive) == 0) {
        *v = int32_t(0x80000001u);
        return true;
    }
    return false;
}

TEST(CallOperation, LiteralsAreReadAsInCWhateverTheLocale) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "it_IT.UTF-8"); // no effect on the literals when present
    struct Case {
        const char* text;
        Variant value;
    } cases[] = {
        {"1.005", Variant(1.005)},
        {"-2", Variant(int16_t(-2))},
        {"1e-07", Variant(1e-7)},
        {"40000", Variant(int32_t(40000))},
        {"-32768", Variant(int16_t(-32768))},
        {"3000000000", Variant(3e9)},
        {"0xFF", Variant(int16_t(255))},
        {"0xFFFF", Variant(int32_t(65535))},
        {"0x80000001", Variant(int32_t(0x80000001u))},
        {".5", Variant(0.5)},
        {"\"a \\\"b\\\" \\\\ c\\d\"", Variant("a \"b\" \\ c\\d")},
        {"\"uno\\ndue\\r\\tx\\0y\"", Variant(QString::fromUtf16(u"uno\ndue\r\tx\0y", 12))},
        {"\"\"", Variant("")},
        {"\"x, y\"", Variant("x, y")},
        {"true", Variant(true)},
        {"False", Variant(false)},
        {"Null", Variant::null()},
        {"current_user", Variant(int32_t(0x80000001u))},
    };
    for (const Case& c : cases) {
        Variant v;
        QString error;
        EXPECT_TRUE(parseLiteral(QString::fromUtf8(c.text), lookup, &v, &error))
            << c.text << error.toStdString();
        EXPECT_EQ(v, c.value) << c.text << " gave " << v.debugText().toStdString();
    }
    for (const char* bad : {"1,5", "abc", "0x", "0x1FFFFFFFF", "1e999", "\"a\"b\"", "--1", ""}) {
        Variant v;
        QString error;
        EXPECT_FALSE(parseLiteral(QString::fromUtf8(bad), lookup, &v, &error)) << bad;
        EXPECT_FALSE(error.isEmpty()) << bad;
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(CallOperation, OperationsPutGetAndCallWithOmittedArguments) {
    CallOperation op;
    QString error;
    ASSERT_TRUE(parseOperation(QStringLiteral("Key=\"a=b\""), lookup, &op, &error));
    EXPECT_EQ(op.kind, CallOperation::Put);
    EXPECT_EQ(op.name, QStringLiteral("Key"));
    EXPECT_EQ(op.value, Variant("a=b"));

    ASSERT_TRUE(parseOperation(QStringLiteral("Count"), lookup, &op, &error));
    EXPECT_EQ(op.kind, CallOperation::Get);
    EXPECT_TRUE(op.args.empty());

    ASSERT_TRUE(parseOperation(QStringLiteral("Spegni_Pc(, False)"), lookup, &op, &error));
    ASSERT_EQ(op.args.size(), 2u);
    EXPECT_FALSE(op.args[0].has_value());
    EXPECT_EQ(*op.args[1], Variant(false));

    ASSERT_TRUE(parseOperation(QStringLiteral("Join(\"a(,)\", 1.5 , )"), lookup, &op, &error));
    ASSERT_EQ(op.args.size(), 3u);
    EXPECT_EQ(*op.args[0], Variant("a(,)"));
    EXPECT_EQ(*op.args[1], Variant(1.5));
    EXPECT_FALSE(op.args[2].has_value());

    ASSERT_TRUE(parseOperation(QStringLiteral("Leggi_Stringa(\"a=b\")"), lookup, &op, &error));
    EXPECT_EQ(op.kind, CallOperation::Get);

    for (const char* bad : {"", "1abc", "Foo(", "Foo(1", "Foo(\"x)", "=3", "Foo bar", "Foo(1 2)"})
        EXPECT_FALSE(parseOperation(QString::fromUtf8(bad), lookup, &op, &error)) << bad;
}

} // namespace

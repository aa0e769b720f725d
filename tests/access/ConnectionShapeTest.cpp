// The three shapes and their way to the ODBC driver: every password and server name must reach
// the server exactly as typed, whatever characters it holds.
#include <gtest/gtest.h>

#include <QMap>
#include <QStringList>
#include <QTemporaryFile>

#include "access/ConnectionShape.h"
#include "access/FreeTdsConfig.h"
#include "db/Connection.h"

using namespace korvid;

namespace {

// Reads an ODBC connection string the way the driver does: KEY=value or KEY={value with }}}.
QMap<QString, QString> parseOdbc(const QString& s, QStringList* keysInOrder = nullptr) {
    // (the ODBC rule: "}}" inside braces stands for "}")
    QMap<QString, QString> out;
    qsizetype i = 0;
    while (i < s.size()) {
        const qsizetype eq = s.indexOf(QLatin1Char('='), i);
        if (eq < 0) break;
        const QString key = s.mid(i, eq - i).toUpper();
        i = eq + 1;
        QString value;
        if (i < s.size() && s[i] == QLatin1Char('{')) {
            ++i;
            for (;;) {
                if (i >= s.size()) {
                    ADD_FAILURE() << "unterminated brace in " << s.toStdString();
                    return out;
                }
                if (s[i] == QLatin1Char('}')) {
                    if (i + 1 < s.size() && s[i + 1] == QLatin1Char('}')) {
                        value += QLatin1Char('}');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += s[i++];
            }
            if (i < s.size()) {
                EXPECT_EQ(s[i], QLatin1Char(';')) << s.toStdString();
                ++i;
            }
        } else {
            const qsizetype end = s.indexOf(QLatin1Char(';'), i);
            value = s.mid(i, end < 0 ? s.size() - i : end - i);
            i = end < 0 ? s.size() : end + 1;
        }
        EXPECT_FALSE(out.contains(key))
            << "duplicate key " << key.toStdString() << " in " << s.toStdString();
        out.insert(key, value);
        if (keysInOrder) keysInOrder->append(key);
    }
    return out;
}

// The older FreeTDS reading: a braced value runs literally up to the first "};".
QMap<QString, QString> parseLiteral(const QString& s) {
    QMap<QString, QString> out;
    qsizetype i = 0;
    while (i < s.size()) {
        const qsizetype eq = s.indexOf(QLatin1Char('='), i);
        if (eq < 0) break;
        const QString key = s.mid(i, eq - i).toUpper();
        i = eq + 1;
        qsizetype end;
        if (i < s.size() && s[i] == QLatin1Char('{')) {
            ++i;
            end = s.indexOf(QLatin1String("};"), i);
            if (end < 0) end = s.endsWith(QLatin1Char('}')) ? s.size() - 1 : s.size();
            out.insert(key, s.mid(i, end - i));
            i = end + 2;
        } else {
            end = s.indexOf(QLatin1Char(';'), i);
            if (end < 0) end = s.size();
            out.insert(key, s.mid(i, end - i));
            i = end + 1;
        }
    }
    return out;
}

QString connectionShapeA(const QString& server, const QString& password) {
    return ConnectionShape::login().providerText(server, password);
}
QString connectionShapeB(const QString& server, const QString& password) {
    return ConnectionShape::server().providerText(server, password);
}
QString connectionShapeC(const QString& database, const QString& server, const QString& password) {
    return ConnectionShape::database(database).providerText(server, password);
}

QString odbc(const ConnectionShape& shape, const QString& server, const QString& password,
             BraceRule rule = BraceRule::Doubled) {
    return shape.odbcText(server, password, rule);
}

const QStringList& awkwardTexts() {
    static const QStringList texts = {
        QStringLiteral("plain"),
        QStringLiteral("x;Initial Catalog=model"),
        QStringLiteral("a=b"),
        QStringLiteral("say \"hi\""),
        QStringLiteral("it's"),
        QStringLiteral("both ' and \""),
        QStringLiteral("'quoted'"),
        QStringLiteral("{braced}"),
        QStringLiteral("x};DRIVER={Other};PWD={y"),
        QStringLiteral("}}"),
        QStringLiteral(" leading"),
        QStringLiteral("trailing "),
        QStringLiteral("   "),
        QStringLiteral("密码；中文"),
        QStringLiteral(";"),
        QStringLiteral("\"\""),
    };
    return texts;
}

}  // namespace

TEST(ConnectionShapes, PlainValuesGiveTheTextsAsWritten) {
    EXPECT_EQ(connectionShapeA(QStringLiteral("(local)"), QStringLiteral("secret")),
              QStringLiteral("Provider=SQLOLEDB;Data Source=(local);Initial Catalog=master;"
                             "User ID=sa;Password=secret"));
    EXPECT_EQ(connectionShapeB(QStringLiteral("db1,1500"), QStringLiteral("pw")),
              QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=False;User ID=sa;"
                             "Initial Catalog=master;Data Source=db1,1500;Password=pw"));
    EXPECT_EQ(connectionShapeC(QStringLiteral("pubs"), QStringLiteral("HOST\\INST"),
                               QStringLiteral("pw")),
              QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=False;User ID=sa;"
                             "Initial Catalog=pubs;Data Source=HOST\\INST;Password=pw"));
}

TEST(ConnectionShapes, EmptyValuesStayEmpty) {
    EXPECT_TRUE(connectionShapeA(QStringLiteral("srv"), QString()).endsWith("Password="));
    EXPECT_TRUE(connectionShapeB(QStringLiteral("srv"), QString()).endsWith("Password="));
    EXPECT_TRUE(connectionShapeA(QString(), QStringLiteral("p"))
                    .startsWith("Provider=SQLOLEDB;Data Source=;Initial Catalog=master;"));
}

TEST(ConnectionShapes, ValuesThatWouldRewriteTheStringAreQuoted) {
    // The classic: a password that would otherwise change the catalog.
    const QString a =
        connectionShapeA(QStringLiteral("srv"), QStringLiteral("x;Initial Catalog=model"));
    EXPECT_EQ(a, QStringLiteral("Provider=SQLOLEDB;Data Source=srv;Initial Catalog=master;"
                                "User ID=sa;Password=\"x;Initial Catalog=model\""));
    // A double quote inside: single quotes around it.
    EXPECT_TRUE(connectionShapeB(QStringLiteral("s"), QStringLiteral("say \"hi\""))
                    .endsWith("Password='say \"hi\"'"));
    // Both quote chars: double quotes, inner ones doubled.
    EXPECT_TRUE(connectionShapeB(QStringLiteral("s"), QStringLiteral("a'b\"c"))
                    .endsWith("Password=\"a'b\"\"c\""));
    EXPECT_TRUE(connectionShapeB(QStringLiteral("s"), QStringLiteral(" pad "))
                    .endsWith("Password=\" pad \""));
}

TEST(OdbcTranslation, EveryPasswordAndServerArrivesAsTyped) {
    for (const QString& text : awkwardTexts()) {
        SCOPED_TRACE(text.toStdString());
        for (const ConnectionShape& shape : {ConnectionShape::login(), ConnectionShape::server(),
                                             ConnectionShape::database(QStringLiteral("db"))}) {
            QStringList order;
            const auto keys = parseOdbc(odbc(shape, QStringLiteral("srv"), text), &order);
            EXPECT_EQ(keys.value("PWD"), text);
            EXPECT_EQ(keys.value("UID"), QStringLiteral("sa"));
            EXPECT_EQ(keys.value("SERVER"), QStringLiteral("srv"));
            EXPECT_EQ(order.value(0), QStringLiteral("DRIVER"));
        }
        // The same text as a database name and as a server host.
        const auto c = parseOdbc(
            odbc(ConnectionShape::database(text), QStringLiteral("srv"), QStringLiteral("pw")));
        EXPECT_EQ(c.value("DATABASE"), text);
        EXPECT_EQ(c.value("PWD"), QStringLiteral("pw"));
        if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('\\'))) {
            const auto s = parseOdbc(odbc(ConnectionShape::server(), text, QStringLiteral("pw")));
            EXPECT_EQ(s.value("SERVER"), text);
            EXPECT_EQ(s.value("PWD"), QStringLiteral("pw"));
            EXPECT_EQ(s.value("DATABASE"), QStringLiteral("master"));
        }
    }
}

TEST(OdbcTranslation, KeysOfTheDriver) {
    const auto keys =
        parseOdbc(odbc(ConnectionShape::server(), QStringLiteral("dbhost"), QString()));
#ifdef Q_OS_WIN
    EXPECT_EQ(keys.value("DRIVER"), QStringLiteral("SQL Server"));
#else
    EXPECT_EQ(keys.value("DRIVER"), QStringLiteral("FreeTDS"));
    EXPECT_EQ(keys.value("PORT"), QStringLiteral("1433"));
    EXPECT_EQ(keys.value("TDS_VERSION"), QStringLiteral("7.1"));
#endif
    EXPECT_EQ(keys.value("SERVER"), QStringLiteral("dbhost"));
    EXPECT_EQ(keys.value("DATABASE"), QStringLiteral("master"));
    EXPECT_TRUE(keys.contains("PWD"));
    EXPECT_EQ(keys.value("PWD"), QString());
    EXPECT_FALSE(keys.contains("ENCRYPTION"));  // the driver's default holds
    EXPECT_FALSE(keys.contains("PROVIDER"));
}

#ifndef Q_OS_WIN
TEST(OdbcTranslation, ServerNameForms) {
    struct Case {
        const char* typed;
        const char* server;
        const char* port;  // nullptr: no PORT key
    };
    const Case cases[] = {
        {"(local)", "127.0.0.1", "1433"},
        {"(LOCAL)", "127.0.0.1", "1433"},
        {".", "127.0.0.1", "1433"},
        {"localhost", "127.0.0.1", "1433"},
        {"db.example.org", "db.example.org", "1433"},
        {"10.1.2.3", "10.1.2.3", "1433"},
        {"127.0.0.1,51234", "127.0.0.1", "51234"},
        {"(local),1500", "127.0.0.1", "1500"},
        {"host\\SQL2000", "host\\SQL2000", nullptr},
        {"(local)\\INST", "127.0.0.1\\INST", nullptr},
        {"", "", "1433"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        const auto keys = parseOdbc(
            odbc(ConnectionShape::login(), QString::fromUtf8(c.typed), QStringLiteral("pw")));
        EXPECT_EQ(keys.value("SERVER"), QString::fromUtf8(c.server));
        if (c.port)
            EXPECT_EQ(keys.value("PORT"), QString::fromUtf8(c.port));
        else
            EXPECT_FALSE(keys.contains("PORT"));
    }
}
#endif

TEST(OdbcTranslation, LiteralBraceDriverGetsEveryValueItCanCarry) {
    for (const QString& text : awkwardTexts()) {
        SCOPED_TRACE(text.toStdString());
        const ConnectionShape shape = ConnectionShape::database(text);
        if (text.contains(QLatin1String("};"))) {
            // No way to write it for such a driver: refused instead of sent changed.
            EXPECT_THROW(odbc(shape, QStringLiteral("srv"), text, BraceRule::Literal), db::DbError);
            continue;
        }
        const auto keys =
            parseLiteral(odbc(shape, QStringLiteral("srv"), text, BraceRule::Literal));
        EXPECT_EQ(keys.value("PWD"), text);
        EXPECT_EQ(keys.value("DATABASE"), text);
        EXPECT_EQ(keys.value("SERVER"), QStringLiteral("srv"));
        EXPECT_EQ(keys.value("UID"), QStringLiteral("sa"));
    }
}

#ifndef Q_OS_WIN
TEST(OdbcTranslation, ServerSectionsOfFreeTdsConfigurationAreNamedAsSuch) {
    EXPECT_EQ(freeTdsServerSections("[global]\n tds version = auto\n[Prod] \n  host = x\n;[off]\n"),
              QStringList{"Prod"});
    EXPECT_EQ(freeTdsSectionValue("[Prod] \n  Host = x\n[b]\nhost = y\n", "prod", "host"), "x");
    QTemporaryFile conf;
    ASSERT_TRUE(conf.open());
    conf.write("[global]\n\tencryption = require\n[prod]\n\thost = db.example.org\n");
    conf.close();
    qputenv("FREETDSCONF", QFile::encodeName(conf.fileName()));
    // The section, in any letter case: its host, port and settings are the driver's to read.
    const auto keys = parseOdbc(odbc(ConnectionShape::server(), QStringLiteral("PROD"), "pw"));
    EXPECT_EQ(keys.value("SERVERNAME"), QStringLiteral("PROD"));
    EXPECT_FALSE(keys.contains("SERVER") || keys.contains("PORT"));
    // Anything else is reached as before.
    for (const char* other : {"db.example.org", "prod,1500", "prod\\INST", "(local)"})
        EXPECT_TRUE(parseOdbc(odbc(ConnectionShape::server(), QString::fromUtf8(other), "pw"))
                        .contains("SERVER"))
            << other;
    qunsetenv("FREETDSCONF");
}
#endif

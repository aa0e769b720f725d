#include "Tsql.h"

#include <QFile>

#include "StandinProcess.h"

namespace korvid::test {

FreetdsConfig::FreetdsConfig(const QStringList& globalSettings) {
    QFile conf(dir_.filePath(QStringLiteral("freetds.conf")));
    if (conf.open(QIODevice::WriteOnly))
        conf.write(("[global]\n\t" + globalSettings.join(QStringLiteral("\n\t")) + "\n").toUtf8());
}

QProcessEnvironment FreetdsConfig::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("FREETDSCONF"), dir_.filePath(QStringLiteral("freetds.conf")));
    env.insert(QStringLiteral("TDSDUMP"), dir_.filePath(QStringLiteral("dump.log")));
    return env;
}

QString FreetdsConfig::takeDump() const {
    QFile dump(dir_.filePath(QStringLiteral("dump.log")));
    if (!dump.open(QIODevice::ReadOnly)) return {};
    const QString text = QString::fromUtf8(dump.readAll());
    dump.remove();
    return text;
}

QStringList hostAndPort(quint16 port) {
    return {QStringLiteral("-H"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
            QString::number(port)};
}

void startTsql(QProcess& p, const QStringList& target, const QString& password,
               const QProcessEnvironment& env) {
    StandinProcess::dieWithParent(p);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("tsql"), target + QStringList{"-U", "sa", "-P", password, "-o", "q"});
}

TsqlRun finishTsql(QProcess& p, int timeoutMs) {
    p.closeWriteChannel();
    TsqlRun r;
    r.finished = p.waitForFinished(timeoutMs);
    if (!r.finished) p.kill();
    p.waitForFinished(5000);
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

TsqlRun tsql(quint16 port, const QString& password, const QString& sql,
             const QProcessEnvironment& env) {
    QProcess p;
    startTsql(p, hostAndPort(port), password, env);
    p.write(sql.toUtf8());
    return finishTsql(p);
}

}  // namespace korvid::test

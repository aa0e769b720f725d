#pragma once
// FreeTDS's own configuration file, freetds.conf: a server typed as the name of one of its
// sections is reached by that section (host, port, encryption, certificate checks), so that an
// administrator can set up what Korvid's own connection string does not say.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace korvid {

// The server sections of a freetds.conf text ("global" is not a server).
QStringList freeTdsServerSections(const QByteArray& confText);

// True when name is a server section of the freetds.conf FreeTDS reads: the file named by
// $FREETDSCONF, else ~/.freetds.conf, else the system's. Section names ignore letter case.
bool isFreeTdsServerSection(const QString& name);

// The value of key ("host", "port") in a server section of a freetds.conf text, or of the file
// FreeTDS reads; empty when the section does not set it. Keys ignore letter case and blanks.
QString freeTdsSectionValue(const QByteArray& confText, const QString& section, const QString& key);
QString freeTdsSectionValue(const QString& section, const QString& key);

}  // namespace korvid

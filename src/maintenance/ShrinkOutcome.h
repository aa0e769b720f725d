#pragma once
// What the server answered a shrink: the file's size before (read beside its logical name) and
// after (DBCC SHRINKFILE's own row), and the shrink's error as the server first raised it.

#include <QString>
#include <QtGlobal>
#include <optional>

#include "db/Connection.h"

namespace korvid::maintenance {

// The size in 8 KB pages the lookup read beside the name: its second result set.
std::optional<qint64> sizeBeforeShrink(const db::BatchResult& lookup);

// CurrentSize, in 8 KB pages, of the file's row in DBCC SHRINKFILE's answer.
std::optional<qint64> sizeAfterShrink(const db::BatchResult& batch, int fileId);

// The details of a shrink that freed nothing: what the server said about it (DBCC's closing
// note left out), then the size that stayed.
QString notShrunkDetail(const db::BatchResult& batch, qint64 pages);

// Before 2012 the batch can re-raise a caught error only as 50000, the original number,
// severity and state written in front of the text; this reads them back, so the person sees
// the server's own error. Any other error comes back as it was.
db::DbError reraisedError(const db::DbError& error);

}  // namespace korvid::maintenance

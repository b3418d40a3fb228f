#pragma once

#include <QString>

class QSqlQueryModel;

// Opening the question database, "0002.mdb", a SQLite file in the program's folder.
//
// The file is checked before anything could write to it: it must exist (opening never
// creates it), be a SQLite database of at least one page, be readable within the busy timeout (another process
// may hold it locked), and have every table and column the program uses. Only then is the
// connection switched to write-ahead logging, the one change opening makes. A refused file
// is left exactly as it was, and the error names the file and the reason, with the
// database engine's own message where it has one.
//
// Every check goes through SQLite itself: nothing here opens the file through a handle of
// its own, since on Linux closing one would drop the locks of the connections already open
// on it (the grid opens a second connection while the main one is open).
namespace QuestionStore {

// The file named by the "Data Source=" entry of a connection string (entries are
// separated by ";", names compare without case; the value is taken unchanged).
QString dataSource(const QString& connectionString);

// Opens a named connection on the connection string's data source, checked as above.
// On failure the connection is removed again and `error` says why.
bool open(const QString& connectionString, const QString& connectionName, QString* error,
          int busyTimeoutMs = 5000);

// Closes and removes a named connection; every query and model on it must be gone.
void close(const QString& connectionName);

// Reads every row of a model's query, so that the row count is known and the query no
// longer holds a read lock on the file.
void fetchAll(QSqlQueryModel* model);

} // namespace QuestionStore

#pragma once

#include <QString>

class QSqlDatabase;

// Fills an opened records database with `count` runs in one statement: eight stations, fifty
// testers, three programs, a spread of readings, one run every 30 s from 2026-01-01 (a million
// runs span about a year). Empty when written, else why not.
QString FillLargeRecords(QSqlDatabase& db, int count);

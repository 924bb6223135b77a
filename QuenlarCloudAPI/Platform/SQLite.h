// SQLite: the library's thin RAII layer over SQLite for the local store: SQLiteDatabase (a
// connection), SQLiteStatement (a prepared statement), SQLiteTransaction (a scoped transaction)
// and SQLiteError. Nothing outside Platform/ sees SQLite's own header.
#pragma once

#include "QuenlarCloudAPI/Platform/SQLiteDatabase.h"
#include "QuenlarCloudAPI/Platform/SQLiteError.h"
#include "QuenlarCloudAPI/Platform/SQLiteStatement.h"
#include "QuenlarCloudAPI/Platform/SQLiteTransaction.h"

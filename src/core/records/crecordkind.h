#pragma once

// The two tables of daily records. They share their columns and differ in the table
// name and in which way a record moves its account's balance.
enum class ERecordKind { Income, Outlay };

// Field facts and values, expressions and filters of the current work area. A field is named by
// its name (any letter case); expressions, conditions and filters are xBase expressions as the
// engine reads them. Each fails without a table in the current work area, for an unknown field
// or an expression that does not compile.
//
//   code  command        request                            reply
//   0612  FieldName      decimal field number from 1        the name
//   0615  FieldType      field name                         the type letter
//   0616  FieldWidth     field name                         decimal
//   0611  FieldDecimals  field name                         decimal
//   0614  FieldOffset    field name                         decimal, counted from 1
//   0581  GetStructure   -                                  five CR LF ended lines a field: name,
//                                                           type, width, decimals, offset from 1
//                                                           (numbers hexadecimal)
//   0492  GetTrimString  field name                         the value, blanks trimmed
//   0486  GetInteger     field name                         decimal
//   0485  GetDouble      field name                         float
//   0484  GetDateString  field name                         the date as the settings show it
//   0489  GetMemo        8 hex digits (0), 8 hex digits     the memo text
//                        (line width), field name
//   0546  EvalTest       expression                         decimal type: 1 character, 2
//                                                           numeric, 3 logical, 4 date
//   0545  EvalString     expression                         text
//   0544  EvalNumeric    expression                         float
//   0543  EvalLogical    expression                         Y/N
//   0646  QueryRowCount  condition ("" removes the filter)  8 hex digits: records matching; 8 hex
//                                                           digits: records seen through it
//   0570  QueryTest      condition                          decimal: 1 usable, 0 not logical, -1
//                                                           does not compile
//   0519  QueryRecCount  -                                  decimal
//   0539  DBFilter       -                                  the filter, "" for none
//
// Floats are written with "." whatever the client's regional separator is (wire::Float).
#pragma once

#include "server/Dispatcher.h"
#include "server/ServerContext.h"

namespace tavrik::server {

void RegisterFieldCommands(TDispatcher& dispatcher, TServerContext& context);

}  // namespace tavrik::server

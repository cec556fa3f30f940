// Orders (index tags), seeks and scopes of the current work area. Orders are numbered from 1
// across the index files the work area has open; 0 is the natural (record number) order.
//
//   code  command         request                               reply
//   0503  Seek            key text                              Y/N: found
//   0548  Found           -                                     Y/N
//   0507  SetOrder        order, 4 hex digits (8 when negative)  decimal: the order before
//   0526  IndexOrd        -                                     decimal
//   0517  TagArea         tag name                              decimal, 0 when none
//   0518  TagName         order, 4 hex digits (0: current)      the tag name, "" when none
//   0525  IndexName       decimal order (0: current)            the index file's name, without
//                                                               the server's folder
//   0554  IndexKey        -                                     key expression of the current order
//   0555  IndexKeyField   -                                     the field a plain or UPPER() key
//                                                               is made of, else ""
//   0552  IndexCondition  -                                     its for-condition, "" for none
//   0553  IndexType       -                                     decimal: 0 none, 1 ordinary, 2 unique
//   0620  IndexOpen       pad255 database alias + pad255 index   decimal: its first order, 0 when
//                         file name                             it has no tags
//   0533  CloseIndexes    -                                     "Y"
//   0567  SetScope        4 hex digits: length of the low        Y/N: N in the natural order
//                         value; 4: of the high value; pad255
//                         low value; pad255 high value
//   0550  GetScope        decimal: 0 low, 1 high                the bound, "" for an open end
//   0558  OrderPosSet     a fraction, "." or "," separated      "Y"
//   0578  IsEncrypted     decimal                               "N": no table is encrypted
//
// IndexOpen looks only beside the current table: the database alias, when given, must name that
// table's folder, and the index name must be a plain file name there (".mxi" added when it has no
// extension). SetScope values longer than 255 characters arrive whole, widening their field.
#pragma once

#include "server/Dispatcher.h"
#include "server/ServerContext.h"

namespace tavrik::server {

void RegisterOrderCommands(TDispatcher& dispatcher, TServerContext& context);

}  // namespace tavrik::server

// The command catalogue of the Marvek protocol: every request code, the name both ends give it,
// and whether it is answered. The client sends each command under its code and waits for a reply
// only when it is answered; the server registers its handler under the same entry and sends no
// reply to the others (a reply nobody waits for would be taken as the answer to the next
// command). The payload of each command is laid out in the files of this folder (MvLogin.h,
// MvUse.h, MvTraverse.h, MvPayloads.h) or, for a single field, in the comment of its handler.
#pragma once

#include <string_view>

namespace tavrik {

struct TMvCommand {
  const char* code;  // four decimal digits
  const char* name;
  bool answered;
};

// X(name, code, answered)
#define TAVRIK_MV_COMMANDS(X)                                                                        \
  /* login */                                                                                      \
  X(Login, "0464", true) X(Logout, "0465", true)                                                   \
  /* server files */                                                                               \
  X(FileSend, "0037", true) X(FileLength, "0038", true) X(FileExists, "0054", true)                \
  X(DeleteFile, "0055", true)                                                                      \
  /* opening tables and choosing work areas */                                                     \
  X(Use, "0469", true) X(UseEx, "0467", true) X(Alias, "0530", true) X(WorkArea, "0571", true)     \
  X(Select, "0504", true) X(Close, "0523", true) X(Version, "0618", true)                          \
  /* cursor and records */                                                                         \
  X(RecCount, "0470", true) X(AppendBlank, "0473", true) X(Bof, "0476", true)                      \
  X(Delete, "0477", true) X(Deleted, "0478", true) X(Eof, "0479", true) X(GetBlob, "0480", true)   \
  X(GetBlobLength, "0481", true) X(Go, "0493", true) X(GoBottom, "0494", true)                     \
  X(GoTop, "0495", true) X(PutBlob, "0498", true) X(PutRecord, "0499", true) X(RecNo, "0500", true) \
  X(Replace, "0501", true) X(Rlock, "0502", true) X(Skip, "0509", true) X(Unlock, "0510", true)    \
  X(Commit, "0511", true) X(GetRecord, "0515", true) X(Count, "0516", true)                        \
  X(PutBlobResult, "0624", true) X(TraverseTable, "0626", true)                                    \
  /* fields, values, expressions and queries */                                                    \
  X(GetDateString, "0484", true) X(GetDouble, "0485", true) X(GetInteger, "0486", true)            \
  X(GetMemo, "0489", true) X(GetTrimString, "0492", true) X(QueryRecCount, "0519", true)           \
  X(DBFilter, "0539", true) X(EvalLogical, "0543", true) X(EvalNumeric, "0544", true)              \
  X(EvalString, "0545", true) X(EvalTest, "0546", true) X(QueryTest, "0570", true)                 \
  X(GetStructure, "0581", true) X(FieldDecimals, "0611", true) X(FieldName, "0612", true)          \
  X(FieldOffset, "0614", true) X(FieldType, "0615", true) X(FieldWidth, "0616", true)              \
  X(QueryRowCount, "0646", true)                                                                   \
  /* orders, seeks and scopes */                                                                   \
  X(Seek, "0503", true) X(SetOrder, "0507", true) X(TagArea, "0517", true) X(TagName, "0518", true) \
  X(IndexName, "0525", true) X(IndexOrd, "0526", true) X(CloseIndexes, "0533", true)               \
  X(Found, "0548", true) X(GetScope, "0550", true) X(IndexCondition, "0552", true)                 \
  X(IndexType, "0553", true) X(IndexKey, "0554", true) X(IndexKeyField, "0555", true)              \
  X(OrderPosSet, "0558", true) X(SetScope, "0567", true) X(IsEncrypted, "0578", true)              \
  X(IndexOpen, "0620", true)                                                                       \
  /* settings */                                                                                   \
  X(SetSoftSeek, "0505", true) X(SetExact, "0506", true) X(SetDeleted, "0508", true)               \
  X(SetCentury, "0556", true) X(SetDateFormat, "0557", true) X(SysProp, "0563", true)              \
  X(SetTurboRead, "0576", true) X(SetEpoch, "0593", true) X(SetMemoBlockSize, "0594", true)        \
  X(SetPassword, "0566", false) X(SetLockTimeOut, "0577", false) X(SetTranslate, "0587", false)

namespace mvcmd {
#define TAVRIK_MV_COMMAND(name, code, answered) inline constexpr TMvCommand name{code, #name, answered};
TAVRIK_MV_COMMANDS(TAVRIK_MV_COMMAND)
#undef TAVRIK_MV_COMMAND
}  // namespace mvcmd

// The catalogue entry of `code`, nullptr for a code it does not hold.
const TMvCommand* FindMvCommand(std::string_view code);
// Whether a request under `code` gets a reply: every code but the few sent without waiting
// (an unknown code gets the failure reply).
bool IsAnswered(std::string_view code);

}  // namespace tavrik

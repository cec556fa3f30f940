// The cursor, field, expression and index commands of the current work area: one text request
// each, decoded as the command says. Codes and payloads are listed with each command.
#include "net/MvConn.h"
#include "net/MvConnCodec.h"

namespace tavrik {

using namespace mvcodec;

// --- cursor ---

int TMarvekConnection::AppendBlank() {
  return Trap("AppendBlank", 0, [&] { return static_cast<int>(HexReply(ClientXmit("0473", "", true))); });
}

bool TMarvekConnection::Bof() {
  return Trap("Bof", false, [&] { return YTest(ClientXmit("0476", "", true)); });
}

bool TMarvekConnection::Eof() {
  return Quiet(false, [&] { return YTest(ClientXmit("0479", "", true)); });
}

bool TMarvekConnection::Found() {
  return Trap("Found", false, [&] { return YTest(ClientXmit("0548", "", true)); });
}

int TMarvekConnection::Go(int32_t record) {
  return Trap("Go", 0, [&] { return static_cast<int>(HexReply(ClientXmit("0493", Hex(record, 8), true))); });
}

void TMarvekConnection::GoBottom() {
  TrapVoid("GoBottom", [&] { ClientXmit("0494", "", true); });
}

void TMarvekConnection::GoTop() {
  TrapVoid("GoTop", [&] { ClientXmit("0495", "", true); });
}

void TMarvekConnection::Skip(int32_t count) {
  TrapVoid("Skip", [&] { ClientXmit("0509", Hex(count, 8), true); });
}

int TMarvekConnection::RecNo() {
  return Trap("RecNo", 0, [&] { return static_cast<int>(DecReply(ClientXmit("0500", "", true))); });
}

int TMarvekConnection::RecCount() {
  return Trap("RecCount", 0, [&] { return static_cast<int>(TrimmedDecReply(ClientXmit("0470", "", true))); });
}

int TMarvekConnection::Count() {
  return Trap("Count", 0, [&] { return static_cast<int>(DecReply(ClientXmit("0516", "", true))); });
}

bool TMarvekConnection::Seek(const std::string& key) {
  // Only the first character counts; the server may add more after it.
  return Quiet(false, [&] {
    const std::string reply = ClientXmit("0503", key, true);
    return !reply.empty() && reply[0] == 'Y';
  });
}

void TMarvekConnection::Delete() {
  TrapVoid("Delete", [&] { ClientXmit("0477", "", true); });
}

bool TMarvekConnection::Deleted() {
  return Trap("Deleted", false, [&] { return YTest(ClientXmit("0478", "", true)); });
}

void TMarvekConnection::Commit() {
  TrapVoid("Commit", [&] { ClientXmit("0511", "", true); });
}

bool TMarvekConnection::Rlock(int32_t record) {
  return Trap("Rlock", false, [&] { return YTest(ClientXmit("0502", Dec(record), true)); });
}

void TMarvekConnection::Unlock(int32_t record) {
  TrapVoid("Unlock", [&] { ClientXmit("0510", Hex(record, 8), true); });
}

void TMarvekConnection::OrderPosSet(double position) {
  TrapVoid("OrderPosSet", [&] { ClientXmit("0558", FloatText(position), true); });
}

// --- fields and expressions ---

int TMarvekConnection::FieldDecimals(const std::string& field) {
  return Trap("FieldDecimals", 0, [&] { return static_cast<int>(DecReply(ClientXmit("0611", field, true))); });
}

std::string TMarvekConnection::FieldName(uint16_t number) {
  return Trap("FieldName", std::string(), [&] { return ClientXmit("0612", Dec(number), true); });
}

int TMarvekConnection::FieldOffset(const std::string& field) {
  return Trap("FieldOffset", 0, [&] { return static_cast<int>(DecReply(ClientXmit("0614", field, true))); });
}

std::string TMarvekConnection::FieldType(const std::string& field) {
  return Trap("FieldType", std::string(), [&] { return ClientXmit("0615", field, true); });
}

int TMarvekConnection::FieldWidth(const std::string& field) {
  return Trap("FieldWidth", 0, [&] { return static_cast<int>(DecReply(ClientXmit("0616", field, true))); });
}

std::string TMarvekConnection::GetDateString(const std::string& field) {
  return Trap("GetDateString", std::string(), [&] { return ClientXmit("0484", field, true); });
}

double TMarvekConnection::GetDouble(const std::string& field) {
  return Trap("GetDouble", 0.0, [&] { return FloatReply(ClientXmit("0485", field, true)); });
}

int TMarvekConnection::GetInteger(const std::string& field) {
  return Trap("GetInteger", 0, [&] { return static_cast<int>(DecReply(ClientXmit("0486", field, true))); });
}

std::string TMarvekConnection::GetTrimString(const std::string& field) {
  return Trap("GetTrimString", std::string(), [&] { return ClientXmit("0492", field, true); });
}

std::string TMarvekConnection::GetMemo(const std::string& field, uint16_t line_width) {
  return Trap("GetMemo", std::string(),
              [&] { return ClientXmit("0489", Hex(0, 8) + Hex(line_width, 8) + field, true); });
}

int TMarvekConnection::GetBlobLength(const std::string& field) {
  return Trap("GetBlobLength", 0, [&] { return static_cast<int>(DecReply(ClientXmit("0481", field, true))); });
}

bool TMarvekConnection::EvalLogical(const std::string& expression) {
  return Trap("EvalLogical", false, [&] { return YTest(ClientXmit("0543", expression, true)); });
}

double TMarvekConnection::EvalNumeric(const std::string& expression) {
  return Trap("EvalNumeric", 0.0, [&] { return FloatReply(ClientXmit("0544", expression, true)); });
}

std::string TMarvekConnection::EvalString(const std::string& expression) {
  return Trap("EvalString", std::string(), [&] { return ClientXmit("0545", expression, true); });
}

int TMarvekConnection::EvalTest(const std::string& expression) {
  return Trap("EvalTest", 0, [&] { return static_cast<int>(DecReply(ClientXmit("0546", Trim(expression), true))); });
}

std::string TMarvekConnection::DBFilter() {
  return Trap("DBFilter", std::string(), [&] { return ClientXmit("0539", "", true); });
}

// QueryRowCount reply, blanks trimmed first:
//   OFFSET SIZE CONTENT
//   0      8    the result, hexadecimal
//   8      8    the record count, hexadecimal
int TMarvekConnection::QueryRowCount(const std::string& condition, int32_t& record_count) {
  return Trap("QueryRowCount", 0, [&] {
    const std::string reply = Trim(ClientXmit("0646", condition, true));
    if (reply.size() < 16) throw EMvReplyError("Short QueryRowCount reply");
    const int32_t result = HexReply(reply.substr(0, 8));
    record_count = HexReply(reply.substr(8, 8));
    return static_cast<int>(result);
  });
}

int TMarvekConnection::QueryRecCount() {
  return Trap("QueryRecCount", 0, [&] { return static_cast<int>(DecReply(ClientXmit("0519", "", true))); });
}

int TMarvekConnection::QueryTest(const std::string& condition) {
  return Trap("QueryTest", 0, [&] { return static_cast<int>(TrimmedDecReply(ClientXmit("0570", condition, true))); });
}

// --- indexes and scopes ---

void TMarvekConnection::CloseIndexes() {
  try {
    ClientXmit("0533", "", true);
  } catch (const std::exception&) {
    ReportError("CloseIndexes", "CloseIndexes");
  }
}

std::string TMarvekConnection::IndexCondition() {
  return Quiet(std::string(), [&] { return ClientXmit("0552", "", true); });
}

std::string TMarvekConnection::IndexKey() {
  return Trap("IndexKey", std::string(), [&] { return ClientXmit("0554", "", true); });
}

std::string TMarvekConnection::IndexKeyField() {
  return Trap("IndexKeyField", std::string(), [&] { return ClientXmit("0555", "", true); });
}

std::string TMarvekConnection::IndexName(int16_t number) {
  return Trap("IndexName", std::string(), [&] { return ClientXmit("0525", Dec(number), true); });
}

int TMarvekConnection::IndexOpen(const std::string& index_file) {
  return Trap("IndexOpen", 0, [&] {
    return static_cast<int>(TrimmedDecReply(ClientXmit("0620", Pad(database_alias_, 255) + Pad(index_file, 255), true)));
  });
}

int TMarvekConnection::IndexOrd() {
  return Trap("IndexOrd", 0, [&] { return static_cast<int>(TrimmedDecReply(ClientXmit("0526", "", true))); });
}

int TMarvekConnection::IndexType() {
  return Trap("IndexType", 0, [&] { return static_cast<int>(TrimmedDecReply(ClientXmit("0553", "", true))); });
}

int TMarvekConnection::SetOrder(int16_t order) {
  return Trap("SetOrder", 0, [&] { return static_cast<int>(TrimmedDecReply(ClientXmit("0507", Hex(order, 4), true))); });
}

int TMarvekConnection::TagArea(const std::string& tag) {
  return Trap("TagArea", 0, [&] { return static_cast<int>(TrimmedDecReply(ClientXmit("0517", tag, true))); });
}

std::string TMarvekConnection::TagName(int16_t number) {
  return Trap("TagName", std::string(), [&] { return ClientXmit("0518", Hex(number, 4), true); });
}

std::string TMarvekConnection::GetScope(int16_t which) {
  return Trap("GetScope", std::string(), [&] { return ClientXmit("0550", Dec(which), true); });
}

// SetScope payload:
//   OFFSET SIZE CONTENT
//   0      4    length of the low value, hexadecimal
//   4      4    length of the high value, hexadecimal
//   8      255  low value, blank-padded (a longer value whole, moving what follows)
//   263    255  high value, blank-padded
bool TMarvekConnection::SetScope(const std::string& low, const std::string& high) {
  return Trap("SetScope", false, [&] {
    return YTest(ClientXmit(
        "0567", Hex(static_cast<int64_t>(low.size()), 4) + Hex(static_cast<int64_t>(high.size()), 4) + Pad(low, 255) + Pad(high, 255),
        true));
  });
}

bool TMarvekConnection::IsEncrypted(int16_t what) {
  return Trap("IsEncrypted", false, [&] { return YTest(ClientXmit("0578", Dec(what), true)); });
}

std::string TMarvekConnection::ServerVersion() {
  return Trap("Version", std::string(), [&] { return ClientXmit("0618", "", true); });
}

}  // namespace tavrik

#include "server/WorkAreaCommands.h"

#include "server/FieldCommands.h"
#include "server/OrderCommands.h"
#include "server/RecordCommands.h"
#include "server/SettingCommands.h"
#include "server/TraverseTable.h"
#include "server/UseCommands.h"

namespace tavrik::server {

void RegisterWorkAreaCommands(TDispatcher& dispatcher, TServerContext& context) {
  RegisterUseCommands(dispatcher, context);
  RegisterRecordCommands(dispatcher, context);
  RegisterFieldCommands(dispatcher, context);
  RegisterOrderCommands(dispatcher, context);
  RegisterSettingCommands(dispatcher, context);
  RegisterTraverseCommand(dispatcher, context);
}

}  // namespace tavrik::server

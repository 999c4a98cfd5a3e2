// A host library whose factory yields no object.
#include "hostlink/ClientProcMsg.h"

extern "C" __attribute__((visibility("default"))) hostlink::ClientProcMsgObject*
CreateClientProcMsgObject() {
    return nullptr;
}

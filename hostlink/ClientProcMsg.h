// The binary interface of the host platform's helper library: the object its
// factory returns and the event interface the launcher hands to that object.
// Both are tables of virtual operations shared across the library boundary, so
// the order of the declarations below is the slot order and must never change.
// Neither class has a virtual destructor: one would take slots of its own, and
// neither side ever deletes the other's object.
#pragma once

#include <cstdint>

namespace hostlink {

// Implemented by the launcher; the library calls it on threads of its own choosing.
class IClientProcMsgEventHandler {
public:
    virtual void OnHostReady(uint32_t reserved) = 0;                        // slot 0
    virtual void OnHostNotice(uint32_t reserved1, uint32_t reserved2) = 0;  // slot 1
    virtual void OnHostSignal(uint32_t reserved) = 0;                       // slot 2
    virtual void OnHostMessage(uint32_t reserved1, uint32_t reserved2, const void* msg) = 0;  // 3

protected:
    ~IClientProcMsgEventHandler() = default;
};

// Implemented by the library. The launcher calls Init, SetHandler and Start in
// that order, and Stop before it restarts itself. Results are the library's
// own and are not read.
class ClientProcMsgObject {
public:
    virtual int Init() = 0;                                           // slot 0
    virtual int Start(const char* parameters) = 0;                    // slot 1
    virtual int Stop() = 0;                                           // slot 2
    virtual void PlatformReserved3() = 0;                             // slot 3, never called
    virtual void PlatformReserved4() = 0;                             // slot 4, never called
    virtual int SetHandler(IClientProcMsgEventHandler* handler) = 0;  // slot 5

protected:
    ~ClientProcMsgObject() = default;
};

// The library's factory: exported as extern "C", called with no arguments,
// returns a new object or null.
inline constexpr const char* kCreateClientProcMsgObjectSymbol = "CreateClientProcMsgObject";
using CreateClientProcMsgObjectFunction = ClientProcMsgObject* (*)();

}  // namespace hostlink

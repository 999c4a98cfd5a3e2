// The controller's hand-over, as far as the network layer needs it.
#pragma once

class IHandOver {
public:
    virtual ~IHandOver() = default;
    // Ends the run; failed means the player is sent to the service page.
    virtual void Finish(bool failed) = 0;
};

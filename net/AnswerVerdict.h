// What an answer means for the request that asked for it, decided from its
// head alone: a pure function beside the head parser.
#pragma once

#include <cstdint>
#include <string>

#include "net/ResponseHead.h"

struct AnswerVerdict {
    enum class Kind {
        Accepted,         // the body is the resource from the requested offset on
        RestartFromZero,  // a 200 to a request with an offset: the whole resource
        Redirect,         // 301 or 302 with a Location
        Refused,          // anything else
    };
    Kind kind = Kind::Refused;
    // Accepted and RestartFromZero: the resource offset the body starts at.
    int64_t bodyStart = 0;
    std::string location;  // Redirect only
    int status = 0;        // the answer's status, 0 when unreadable
};

// requestedOffset is the Range start the request asked for (0 or less: none).
AnswerVerdict ClassifyAnswer(const ResponseHead& head, int64_t requestedOffset);

#include "net/AnswerVerdict.h"

#include <algorithm>

AnswerVerdict ClassifyAnswer(const ResponseHead& head, int64_t requestedOffset) {
    const int64_t offset = std::max<int64_t>(requestedOffset, 0);
    AnswerVerdict verdict;
    verdict.status = head.status;
    // A redirect needs only its status and target; a broken length does not
    // matter, as its body is not read.
    if ((head.status == 301 || head.status == 302) && head.location) {
        verdict.kind = AnswerVerdict::Kind::Redirect;
        verdict.location = *head.location;
        return verdict;
    }
    if (head.problem != HeadProblem::None) return verdict;
    if (head.status == 200) {
        verdict.kind =
            offset > 0 ? AnswerVerdict::Kind::RestartFromZero : AnswerVerdict::Kind::Accepted;
        return verdict;
    }
    // A part that starts elsewhere than asked would be written in the wrong place.
    if (head.status == 206 && head.rangeFirst == offset) {
        verdict.kind = AnswerVerdict::Kind::Accepted;
        verdict.bodyStart = offset;
    }
    return verdict;
}

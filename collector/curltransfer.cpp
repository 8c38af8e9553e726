#include "collector/curltransfer.h"

#include <sys/select.h>

namespace {

// libcurl's own longest wait when it names no time-out of its own.
constexpr long kLongestWaitMs = 1000;

// Whether libcurl has nothing to wait for: no socket to watch and no timer due within the
// longest wait. libcurl 7.88 ends up so when an FTP server answers PASV before the command's
// own call returns: the data connection is set up but not yet started, and a wait would sleep
// the full second (only the 30 s time-outs are due) before anything connects it. Running the
// transfer once more starts it.
bool waitsForNothing(CURLM *multi, long timeoutMs)
{
    if (timeoutMs >= 0 && timeoutMs < kLongestWaitMs)
        return false;
    fd_set read;
    fd_set write;
    fd_set except;
    FD_ZERO(&read);
    FD_ZERO(&write);
    FD_ZERO(&except);
    int highest = -1;
    curl_multi_fdset(multi, &read, &write, &except, &highest);
    return highest < 0;
}

CURLcode resultOf(CURLM *multi, CURL *easy)
{
    CURLcode result = CURLE_OK;
    int queued = 0;
    while (CURLMsg *message = curl_multi_info_read(multi, &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy)
            result = message->data.result;
    }
    return result;
}

} // namespace

CURLcode PerformTransfer(CURLM *multi, CURL *easy)
{
    if (curl_multi_add_handle(multi, easy) != CURLM_OK)
        return CURLE_FAILED_INIT;
    int running = 1;
    bool ranAgain = false;
    while (curl_multi_perform(multi, &running) == CURLM_OK && running > 0) {
        long timeoutMs = -1;
        curl_multi_timeout(multi, &timeoutMs);
        // Never twice in a row: whatever libcurl does, every other pass waits.
        if (!ranAgain && waitsForNothing(multi, timeoutMs)) {
            ranAgain = true;
            continue;
        }
        ranAgain = false;
        const int waitMs = static_cast<int>(timeoutMs < 0 || timeoutMs > kLongestWaitMs
                                                ? kLongestWaitMs : timeoutMs);
        if (curl_multi_poll(multi, nullptr, 0, waitMs, nullptr) != CURLM_OK)
            break;
    }
    const CURLcode result = running > 0 ? CURLE_FAILED_INIT : resultOf(multi, easy);
    curl_multi_remove_handle(multi, easy);
    return result;
}

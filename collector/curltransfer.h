#pragma once

#include <curl/curl.h>

/// Runs one transfer of `easy` on `multi` until it ends and returns its result. The multi
/// handle keeps the connections between transfers, so a session's later transfers reuse its
/// control connection.
CURLcode PerformTransfer(CURLM *multi, CURL *easy);

#pragma once

// The rows of vizserver-load --live that wait for news: waitNews calls parked on one instance,
// and the time from one account's commit to another account's news.
#include "bench/load/LiveAccounts.h"
#include "bench/load/LiveLoad.h"

#include "server/testing/ServiceCluster.h"

#include <vector>

namespace corvane::load {

// What the rows share: the two clusters on one database and the accounts made on it.
struct LiveRun {
    const LiveLoadOptions& options;
    server::testing::ServiceCluster& one;
    server::testing::ServiceCluster& two;
    Account& ann;
    VizTask writes;
    VizTask reads;
};

// `waiters` waitNews calls of the readers parked on the first cluster's instance, then one
// commit by `writer` that concerns them all: memory per waiter and the time to the last reply.
// Answers the failures.
int parked_waiters(const LiveLoadOptions& options, server::testing::ServiceCluster& one,
    Account& writer, const VizTask& task, const std::vector<Account*>& readers);

// The same over 1,000 accounts that share a project of their own. Answers the failures, or -1
// when the accounts could not be made.
int member_waiter_rows(LiveRun& run);

// From one account's commit to another account's news, 20 rounds; `instances` are every port
// where the reader's call may park. Answers the failures.
int commit_to_news(const char* name, int writer_port, int reader_port,
    const std::vector<int>& instances, const AuthInfo& writer_auth, const AuthInfo& reader_auth,
    const VizTask& task);

} // namespace corvane::load

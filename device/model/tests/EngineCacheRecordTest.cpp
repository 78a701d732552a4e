#include "common/wire/RpcWriter.h"
#include "common/wire/WireText.h"
#include "common/wire/testing/RecordingWriter.h"
#include "device/model/EngineCache.h"

#include <gtest/gtest.h>

using namespace corvane;
using Entries = std::vector<WString>;
using corvane::test::RecordingWriter;

// The cache file's layout: the session and login key first, the filter, project and paging last.
TEST(EngineCacheRecord, keeps_its_layout)
{
    EngineCache cache;
    cache.loginKey = u"key";
    cache.listProject = 12;
    cache.morePages = false;
    RecordingWriter recorded;
    cache.save(recorded);
    const WString vector_sig = u"s:java.util.Vector/3125574444";
    const Entries head { u"s:com.ulmar.viz.client.cpp.Engine/4",
        u"s:com.ulmar.viz.client.AuthInfo/1749066765", u"i:0", u"s:", u"i:0", u"s:", u"i:0",
        u"s:key", vector_sig, u"i:0", u"s:com.ulmar.viz.client.cpp.Task/3" };
    const Entries tail { vector_sig, u"i:0", u"s:com.ulmar.viz.client.Filter/317688809", u"i:1",
        u"s:[Z/1413617015", u"i:6", u"i:1", u"i:1", u"i:1", u"i:1", u"i:1", u"i:1", u"i:1", u"i:-1",
        u"i:12", u"i:0" };
    const Entries& all = recorded.entries;
    ASSERT_GT(all.size(), head.size() + tail.size());
    EXPECT_EQ(Entries(all.begin(), all.begin() + head.size()), head);
    EXPECT_EQ(Entries(all.end() - tail.size(), all.end()), tail);
}

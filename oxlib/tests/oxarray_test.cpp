// OXArray<OString>: indices, sizes and the sharing of element buffers.
#include <oxlib/ostring.h>
#include <oxlib/oxarray.h>

#include <gtest/gtest.h>

namespace {

TEST(OXArray, AddReturnsTheNewIndex) {
    OXArray<OString> list;
    EXPECT_EQ(list.getSize(), 0u);
    EXPECT_EQ(list.add(OString("a")), 0);
    list.add(OString("b"));
    list.add(OString("c"));
    EXPECT_EQ(list.add(OString("d")), 3);
    EXPECT_STREQ(list.getAt(2).c_str(), "c");
}

TEST(OXArray, SetSizeGivesEmptyStringsOnTheStaticBuffer) {
    OXArray<OString> list;
    list.setSize(2);
    ASSERT_EQ(list.getSize(), 2u);
    EXPECT_EQ(list[0].bufferRecord(), OString::emptyBuffer());
    EXPECT_EQ(list[1].bufferRecord(), OString::emptyBuffer());
    EXPECT_EQ(OString::emptyBuffer()->refCount, -1);
    // The logger appends numbers to the elements of such a list in place.
    list[0] += int32_t{12};
    list[1].append("x");
    EXPECT_STREQ(list.getAt(0).c_str(), "12");
    EXPECT_STREQ(list.getAt(1).c_str(), "x");
    list.setSize(1);
    EXPECT_EQ(list.getSize(), 1u);
    list.setSize(40);
    EXPECT_EQ(list.getSize(), 40u);
    EXPECT_STREQ(list.getAt(0).c_str(), "12");
}

TEST(OXArray, ElementsShareAndOutliveTheArray) {
    OString kept;
    OString original("text");
    {
        OXArray<OString> list;
        list.add(original);
        EXPECT_EQ(original.bufferRecord()->refCount, 2);
        for (int i = 0; i < 100; ++i) // growth copies share, never duplicate text
            list.add(original);
        EXPECT_EQ(original.bufferRecord()->refCount, 102);
        kept = list.getAt(0);
    }
    EXPECT_EQ(original.bufferRecord()->refCount, 2);
    EXPECT_STREQ(kept.c_str(), "text");
    OXArray<OString>* owned = new OXArray<OString>;
    owned->add(original);
    delete owned; // through the virtual destructor
    EXPECT_EQ(original.bufferRecord()->refCount, 2);
}

} // namespace

// The page list's order and selection rules: delete, remove-where, move, growth and
// replace. Each page carries its own width as a name, read back through the store.
#include "ui/page_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

PageImage* make_page(int name) {
    PageImage* page = page_image_new();
    if (!page_image_alloc(page, name, 4, 8, 200)) {
        page_image_free(page);
        return nullptr;
    }
    return page;
}

struct List {
    PageList list = {};
    explicit List(int pages) {
        EXPECT_TRUE(page_list_init(&list, nullptr));
        for (int k = 1; k <= pages; ++k) EXPECT_TRUE(page_list_append(&list, make_page(k)));
    }
    ~List() { page_list_free(&list); }
    // The page names in document order, e.g. "1 2 3".
    std::string order() {
        std::string text;
        for (int i = 0; i < list.count; ++i) {
            if (i) text += ' ';
            text += std::to_string(page_store_header(list.store, list.items[i]).width);
        }
        return text;
    }
};

TEST(PageList, DeletingMovesTheFollowingPagesUpAndKeepsASensibleSelection) {
    {   // the last of three selected: the new last page is selected
        List l(3);
        l.list.selected = 2;
        page_list_delete(&l.list, 2);
        EXPECT_EQ(l.order(), "1 2");
        EXPECT_EQ(l.list.selected, 1);
    }
    {   // the middle one selected: the index stays and names the page that moved up
        List l(3);
        l.list.selected = 1;
        page_list_delete(&l.list, 1);
        EXPECT_EQ(l.order(), "1 3");
        EXPECT_EQ(l.list.selected, 1);
    }
    {   // the only page: nothing stays selected
        List l(1);
        l.list.selected = 0;
        page_list_delete(&l.list, 0);
        EXPECT_EQ(l.list.count, 0);
        EXPECT_EQ(l.list.selected, -1);
        EXPECT_EQ(page_store_stats(l.list.store).pages, 0);
    }
    {   // a page before the selected one: the selected page stays selected
        List l(3);
        l.list.selected = 2;
        page_list_delete(&l.list, 0);
        EXPECT_EQ(l.order(), "2 3");
        EXPECT_EQ(l.list.selected, 1);
    }
    {   // out of range: nothing happens
        List l(2);
        l.list.selected = 0;
        page_list_delete(&l.list, 2);
        page_list_delete(&l.list, -1);
        EXPECT_EQ(l.order(), "1 2");
        EXPECT_EQ(l.list.selected, 0);
    }
}

TEST(PageList, APinnedPageIsNeitherDeletedNorReplaced) {
    List l(3);
    l.list.selected = 1;
    int message = 0;
    ASSERT_NE(page_store_pin(l.list.store, l.list.items[1], &message), nullptr);
    PageImage* other = make_page(40);
    EXPECT_FALSE(page_list_replace(&l.list, 1, other));
    page_list_delete(&l.list, 1);
    EXPECT_EQ(l.order(), "1 2 3");
    EXPECT_EQ(l.list.selected, 1);
    page_store_unpin(l.list.store, l.list.items[1]);

    // Unpinned, the same image (still ours) takes the page's place.
    EXPECT_TRUE(page_list_replace(&l.list, 1, other));
    EXPECT_EQ(l.order(), "1 40 3");
    EXPECT_FALSE(page_list_replace(&l.list, 3, nullptr));
}

TEST(PageList, ClearRemovesEveryPage) {
    List l(5);
    l.list.selected = 3;
    page_list_clear(&l.list);
    EXPECT_EQ(l.list.count, 0);
    EXPECT_EQ(l.list.selected, -1);
    EXPECT_EQ(page_store_stats(l.list.store).pages, 0);
    EXPECT_TRUE(page_list_append(&l.list, make_page(9)));
    EXPECT_EQ(l.order(), "9");
}

TEST(PageList, MovingShiftsThePagesBetweenAndSelectsTheMovedOne) {
    {
        List l(3);
        l.list.selected = 0;
        EXPECT_TRUE(page_list_move(&l.list, 0, 2));
        EXPECT_EQ(l.order(), "2 3 1");
        EXPECT_EQ(l.list.selected, 2);
    }
    {
        List l(4);
        EXPECT_TRUE(page_list_move(&l.list, 3, 1));
        EXPECT_EQ(l.order(), "1 4 2 3");
        EXPECT_EQ(l.list.selected, 1);
    }
    {   // onto its own place or out of range: refused, nothing changes
        List l(3);
        l.list.selected = 2;
        EXPECT_FALSE(page_list_move(&l.list, 1, 1));
        EXPECT_FALSE(page_list_move(&l.list, 0, 3));
        EXPECT_FALSE(page_list_move(&l.list, -1, 0));
        EXPECT_EQ(l.order(), "1 2 3");
        EXPECT_EQ(l.list.selected, 2);
    }
}

// Pages whose name is in the set count as blank; the test records the order of its calls.
struct BlankSet {
    std::vector<int> blank;
    std::vector<int> asked;
};

bool is_in_set(const PageImage* page, void* context) {
    BlankSet* set = (BlankSet*)context;
    set->asked.push_back(page->width);
    for (int name : set->blank) {
        if (name == page->width) return true;
    }
    return false;
}

TEST(PageList, RemoveWhereWalksBackwardsAndMendsTheSelection) {
    {   // a selection beyond the new end moves to the last page
        List l(5);
        l.list.selected = 4;
        BlankSet set{{2, 4, 5}, {}};
        EXPECT_EQ(page_list_remove_where(&l.list, is_in_set, &set), 3);
        EXPECT_EQ(set.asked, (std::vector<int>{5, 4, 3, 2, 1}));
        EXPECT_EQ(l.order(), "1 3");
        EXPECT_EQ(l.list.selected, 1);
    }
    {   // a selection still inside keeps its index
        List l(4);
        l.list.selected = 1;
        BlankSet set{{1}, {}};
        EXPECT_EQ(page_list_remove_where(&l.list, is_in_set, &set), 1);
        EXPECT_EQ(l.order(), "2 3 4");
        EXPECT_EQ(l.list.selected, 1);
    }
    {   // nothing selected and pages remaining: the first page is selected
        List l(3);
        BlankSet set{{2}, {}};
        EXPECT_EQ(page_list_remove_where(&l.list, is_in_set, &set), 1);
        EXPECT_EQ(l.order(), "1 3");
        EXPECT_EQ(l.list.selected, 0);
    }
    {   // every page blank: none remains, nothing selected
        List l(3);
        l.list.selected = 0;
        BlankSet set{{1, 2, 3}, {}};
        EXPECT_EQ(page_list_remove_where(&l.list, is_in_set, &set), 3);
        EXPECT_EQ(l.list.count, 0);
        EXPECT_EQ(l.list.selected, -1);
    }
    {   // no blank page: the count is 0 and the order stays
        List l(2);
        l.list.selected = 1;
        BlankSet set{{}, {}};
        EXPECT_EQ(page_list_remove_where(&l.list, is_in_set, &set), 0);
        EXPECT_EQ(l.order(), "1 2");
        EXPECT_EQ(l.list.selected, 1);
    }
}

TEST(PageList, GrowsPastItsFirstCapacityKeepingTheOrder) {
    List l(0);
    EXPECT_EQ(l.list.capacity, 8);
    EXPECT_EQ(l.list.selected, -1);
    EXPECT_EQ(l.list.scanned_this_run, 0);
    std::string expected;
    for (int k = 1; k <= 20; ++k) {
        ASSERT_TRUE(page_list_append(&l.list, make_page(k)));
        if (k > 1) expected += ' ';
        expected += std::to_string(k);
    }
    EXPECT_EQ(l.list.count, 20);
    EXPECT_EQ(l.list.capacity, 32);
    EXPECT_EQ(l.order(), expected);
    EXPECT_FALSE(page_list_append(&l.list, nullptr));
    EXPECT_EQ(l.list.count, 20);
}

}  // namespace

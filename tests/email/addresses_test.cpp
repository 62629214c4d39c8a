#include "suite/email/addresses.h"
#include <gtest/gtest.h>

using namespace Email;

TEST(EmailAddresses, ListsSplitAtCommasOutsideQuotesAndBrackets) {
    struct TCase {
        std::string List;
        std::vector<std::string> Items;
    };
    const TCase cases[] = {
        {"a@x.org,b@x.org", {"a@x.org", "b@x.org"}},
        {" a@x.org ,, \t, b@x.org, ", {"a@x.org", "b@x.org"}},
        {"\"Doe, Ann\" <a@x.org>, b@x.org", {"\"Doe, Ann\" <a@x.org>", "b@x.org"}},
        {"\"Say \\\"hi, you\\\"\" <a@x.org>,b@x.org", {"\"Say \\\"hi, you\\\"\" <a@x.org>", "b@x.org"}},
        {"Ann <a,b@x.org>, c@x.org", {"Ann <a,b@x.org>", "c@x.org"}},
        {"", {}},
        {"a@x.org; b@x.org", {"a@x.org; b@x.org"}},
    };
    for (const TCase& c : cases) EXPECT_EQ(SplitAddressList(c.List), c.Items) << c.List;
}

TEST(EmailAddresses, ItemsAreAnAddressOrANameWithOne) {
    struct TCase {
        std::string Item;
        bool Valid;
        std::string Name, Address;
    };
    const std::string longLocal(250, 'a');
    const TCase cases[] = {
        {"ann@lumora.test", true, "", "ann@lumora.test"},
        {"  <ann@lumora.test> ", true, "", "ann@lumora.test"},
        {"Ann Example <ann@lumora.test>", true, "Ann Example", "ann@lumora.test"},
        {"\"Doe, Ann\" <ann@lumora.test>", true, "Doe, Ann", "ann@lumora.test"},
        {"\"Say \\\"hi\\\"\" <ann@lumora.test>", true, "Say \"hi\"", "ann@lumora.test"},
        {"Jörg Müller <j@lumora.test>", true, "Jörg Müller", "j@lumora.test"},
        {"o'brien+photos@sub-1.lumora.test", true, "", "o'brien+photos@sub-1.lumora.test"},
        {"lumora@localhost", true, "", "lumora@localhost"},
        // No second header can start inside an item.
        {"ann@lumora.test\r\nBcc: e@lumora.test", false, "", ""},
        {"Ann\n <ann@lumora.test>", false, "", ""},
        {"Ann\t<ann@lumora.test>", false, "", ""},
        {"\"Ann\r\" <ann@lumora.test>", false, "", ""},
        // The address rules.
        {"", false, "", ""},
        {"ann", false, "", ""},
        {"@lumora.test", false, "", ""},
        {"ann@", false, "", ""},
        {"ann@x@lumora.test", false, "", ""},
        {"ann smith@lumora.test", false, "", ""},
        {"ann;b@lumora.test", false, "", ""},
        {"ann,b@lumora.test", false, "", ""},
        {"\"ann\"@lumora.test", false, "", ""},
        {"ann@[127.0.0.1]", false, "", ""},
        {"ann@lumora_test.org", false, "", ""},
        {"ann@lumora..test", false, "", ""},
        {"ann@.lumora.test", false, "", ""},
        {"ann@lumora.test.", false, "", ""},
        {"jörg@lumora.test", false, "", ""},
        {"ann@lümora.test", false, "", ""},
        {longLocal + "@x.test", false, "", ""},
        // The shape of a named item.
        {"Ann <ann@lumora.test", false, "", ""},
        {"Ann <ann@lumora.test> x", false, "", ""},
        {"Ann <b> <ann@lumora.test>", false, "", ""},
        {"\"Ann <ann@lumora.test>", false, "", ""},
    };
    for (const TCase& c : cases) {
        TMailbox box;
        ASSERT_EQ(ParseMailbox(c.Item, box), c.Valid) << c.Item;
        if (!c.Valid) continue;
        EXPECT_EQ(box.Name, c.Name) << c.Item;
        EXPECT_EQ(box.Address, c.Address) << c.Item;
    }
}

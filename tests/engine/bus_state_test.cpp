#include "engine/bus_state.h"

#include <gtest/gtest.h>

namespace korvane::engine {
namespace {

TEST(Requests, OneSlotTheLastWriterWinsAndItIsTakenOnce) {
  BusState s;
  s.Etat_Bus = kSearch;
  s.request(kLedCommand);
  s.request(kReadParameters);      // a second request before the next step replaces the first
  EXPECT_EQ(s.Etat_Bus, kSearch);  // nothing changes until the next step begins

  s.adoptRequest();
  EXPECT_EQ(s.Etat_Bus, kReadParameters);
  EXPECT_EQ(s.Etat_Demande, kNone);

  s.Etat_Bus = kBusMeasures;
  s.adoptRequest();  // no request pending: the state is kept
  EXPECT_EQ(s.Etat_Bus, kBusMeasures);
}

TEST(PointTable, AddressesOutsideTheLoopNeverReachARealPoint) {
  PointTable table;
  table[1].Adr_Produit = "first";
  table[128].Adr_Produit = "last";
  table[0].Adr_Produit = "junk";
  table[129].Adr_Produit = "junk";
  table[200].Adr_Produit = "junk";
  table[-5].Adr_Produit = "junk";

  EXPECT_EQ(table[1].Adr_Produit, "first");
  EXPECT_EQ(table[128].Adr_Produit, "last");
  for (int a = 2; a < 128; ++a)
    EXPECT_TRUE(table[a].Adr_Produit.empty()) << a;
  EXPECT_TRUE(PointTable::isAddress(1));
  EXPECT_TRUE(PointTable::isAddress(128));
  EXPECT_FALSE(PointTable::isAddress(0));
  EXPECT_FALSE(PointTable::isAddress(129));
}

}  // namespace
}  // namespace korvane::engine

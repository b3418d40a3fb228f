#pragma once

#include "financeinputs.h"

// Three businesses the finance tests share: a bakery with stock and a loan, a consultancy
// without stock whose clients pay late, and a shop that loses money and runs out of cash.
namespace samplebusinesses {

inline finance::Inputs bakery() {
    finance::Inputs in;
    in.firstMonth = 3;
    finance::ProductSales bread{"Bread", {}, std::nullopt};
    finance::ProductSales cakes{"Cakes", {}, 4500};
    for (int m = 0; m < 12; ++m) {
        bread.months[m] = 420'000 + m * 15'033;           // 4,200.00 rising by 150.33
        cakes.months[m] = m % 3 == 2 ? 310'077 : 185'019; // a busy last month of each quarter
    }
    in.products = {bread, cakes};
    in.costOfSalesBp = 3350;
    in.costs = {{"Rent", 120'000}, {"Wages", 280'050}, {"Power", 45'033}, {"Marketing", 20'000}};
    in.ownerMoney = 1'500'000;
    in.loans = {{"Bank loan", 2'500'000, 725, 5}};
    in.assetsOwned = 350'000;
    in.assetsToBuy = 1'870'099;
    in.depreciationYears = 7;
    in.stockOwned = 40'000;
    in.stockToBuy = 125'050;
    in.latePayersBp = 1000;
    in.lateDays = 30;
    in.taxBp = 1900;
    in.growthBp = {800, 500};
    in.moneyNeeded = 4'000'000;
    return in;
}

inline finance::Inputs consultancy() {
    finance::Inputs in;
    in.firstMonth = 9;
    finance::ProductSales advice{"Advice", {}, std::nullopt};
    finance::ProductSales training{"Training days", {}, 1500};
    for (int m = 0; m < 12; ++m) {
        advice.months[m] = m < 2 ? 0 : 650'000 + (m * 7 % 5) * 33'333;
        training.months[m] = m % 2 ? 240'001 : 0;
    }
    in.products = {advice, training};
    in.costOfSalesBp = 0;
    in.costs = {{"Office", 90'000}, {"Insurance", 12'345}, {"Software", 9'999}};
    in.ownerMoney = 800'000;
    in.assetsToBuy = 299'900;
    in.depreciationYears = 3;
    in.latePayersBp = 6500;
    in.lateDays = 45; // paid two months later
    in.taxBp = 2500;
    in.growthBp = {1500, -300};
    return in;
}

inline finance::Inputs losingShop() {
    finance::Inputs in;
    in.firstMonth = 1;
    finance::ProductSales goods{"Goods", {}, std::nullopt};
    for (int m = 0; m < 12; ++m)
        goods.months[m] = 150'000 + m * 2'501;
    in.products = {goods};
    in.costOfSalesBp = 6000;
    in.costs = {{"Rent", 150'000}, {"Wages", 100'000}};
    in.ownerMoney = 200'000;
    in.loans = {{"Family loan", 300'000, 0, 2}, {"Card", 150'000, 1999, 1}};
    in.assetsToBuy = 320'000;
    in.depreciationYears = 4;
    in.stockToBuy = 90'000;
    in.taxBp = 2000;
    in.growthBp = {-1000, -1000};
    in.moneyNeeded = 1'200'000;
    return in;
}

} // namespace samplebusinesses

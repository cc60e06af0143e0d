#pragma once
constexpr unsigned TEST_ICON_RED = 201;
constexpr unsigned TEST_ICON_BLUE = 202;
constexpr unsigned TEST_ICON_MISSING = 299;

// Where a minimized window draws its icon: centred in the client area, the
// halves rounded toward zero, so that a client area smaller than the icon
// gives a small negative offset rather than one pixel more.
#ifndef ONDAVO_APP_MINIMIZED_ICON_H_
#define ONDAVO_APP_MINIMIZED_ICON_H_

struct IconOrigin {
  int x;
  int y;
};

constexpr IconOrigin MinimizedIconOrigin(int client_width, int client_height, int icon_width,
                                         int icon_height) {
  return {(client_width - icon_width + 1) / 2, (client_height - icon_height + 1) / 2};
}

static_assert(MinimizedIconOrigin(100, 50, 32, 32).x == 34);
static_assert(MinimizedIconOrigin(100, 50, 32, 32).y == 9);
static_assert(MinimizedIconOrigin(0, 0, 32, 32).x == -15);

#endif  // ONDAVO_APP_MINIMIZED_ICON_H_

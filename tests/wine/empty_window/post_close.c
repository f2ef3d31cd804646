/* post_close.exe TITLE: posts WM_CLOSE to every top-level window whose
 * caption is exactly TITLE, the way a click on the close button would end
 * up in the program. Closing the X window from outside (xdotool
 * windowclose) only destroys Wine's X window and leaves the program
 * running, so it is no test of the program's close path.
 * Exit code: 0 if at least one window got the message, 1 if none matched,
 * 2 on bad usage. */
#define UNICODE
#define _UNICODE
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>
#include <wchar.h>

struct search {
    const wchar_t *title;
    int posted;
};

static BOOL CALLBACK visit(HWND hwnd, LPARAM lp)
{
    struct search *s = (struct search *)lp;
    wchar_t buf[512];

    if (GetWindowTextW(hwnd, buf, sizeof buf / sizeof buf[0]) > 0 &&
        wcscmp(buf, s->title) == 0 &&
        PostMessageW(hwnd, WM_CLOSE, 0, 0))
        s->posted++;
    return TRUE;
}

int main(void)
{
    int argc;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    struct search s;

    if (!argv || argc != 2)
        return 2;
    s.title = argv[1];
    s.posted = 0;
    EnumWindows(visit, (LPARAM)&s);
    return s.posted > 0 ? 0 : 1;
}

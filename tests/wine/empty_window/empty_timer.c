/* The baseline for the login screen's idle cost: one window and a 10 ms
 * timer whose handler does nothing, the same shape of work the login frame's
 * placement timer does when nothing moves. */
#define UNICODE
#define _UNICODE
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

static LRESULT CALLBACK wnd_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_TIMER)
        return 0;
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

int WINAPI WinMain(HINSTANCE inst, HINSTANCE prev, LPSTR cmdline, int show)
{
    WNDCLASSW wc = {0};
    HWND hwnd;
    MSG msg;
    BOOL got;

    (void)prev;
    (void)cmdline;
    wc.lpfnWndProc = wnd_proc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorW(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = L"EmptyTimerClass";
    if (!RegisterClassW(&wc))
        return 1;
    hwnd = CreateWindowExW(0, wc.lpszClassName, L"EmptyTimer", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                           CW_USEDEFAULT, 640, 480, NULL, NULL, inst, NULL);
    if (!hwnd)
        return 1;
    ShowWindow(hwnd, show);
    SetTimer(hwnd, 1, 10, NULL);
    while ((got = GetMessageW(&msg, NULL, 0, 0)) != 0) {
        if (got == -1)
            return 1;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return (int)msg.wParam;
}

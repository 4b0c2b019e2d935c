/* Resource and command ids of ZELO.exe, shared by zelo.rc and the Windows
   front end. Plain #defines: the resource compiler reads this file too. */
#ifndef ZELO_RESOURCE_IDS_H
#define ZELO_RESOURCE_IDS_H

/* Menus: main menu per language, tree and list context menus. */
#define IDR_MENU_JA 3
#define IDR_MENU_EN 720
#define IDR_MENU_EO 722
#define IDR_MENU_TREE 718
#define IDR_MENU_LIST 719

#define IDR_ACCELERATORS 712

/* Icons: program, group, device models. */
#define IDI_PROGRAM 705
#define IDI_GROUP 706
#define IDI_MODEL_707 707
#define IDI_MODEL_708 708
#define IDI_MODEL_709 709
#define IDI_MODEL_710 710
#define IDI_SCHEDULE 727
#define IDI_CLOCK 733
#define IDI_MODEL_734 734
#define IDI_MODEL_738 738
#define IDI_MODEL_739 739

/* Window commands. */
#define IDM_GROUP_NEW 32779
#define IDM_DELETE_KEY 32780
#define IDM_RENAME_KEY 32781
#define IDM_OPTION 32782
#define IDM_ABOUT 32783
#define IDM_QUIT 32784
#define IDM_STATE 32785
#define IDM_OLD_MODEL_A 32800
#define IDM_OLD_MODEL_B 32802
#define IDM_OLD_MODEL_C 32804
#define IDM_OLD_MODEL_D 32807

/* Timers and private messages of the main window. */
#define IDT_MAIN_TIMER 32795
#define WM_ZELO_TRAY 10001
#define IDC_STATUS_BAR 713

#endif

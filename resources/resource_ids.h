/* Resource and command ids of ZELO.exe, shared by zelo.rc and the Windows
   front end. Plain #defines: the resource compiler reads this file too. */
#ifndef ZELO_RESOURCE_IDS_H
#define ZELO_RESOURCE_IDS_H

/* Menus: main menu per language, tree and list context menus. */
#define IDR_MENU_JA 3
#define IDR_MENU_EN 720
#define IDR_MENU_EO 722
/* Popup Language (0 Japanese, 1 English, 2 Esperanto) of 718 is the tree's
   menu. Menu 719 holds three popups per language, at 3 x Language plus: */
#define IDR_MENU_TREE 718
#define IDR_MENU_LIST 719
#define LIST_MENU_ITEM 0  /* a row was hit */
#define LIST_MENU_GROUP 1 /* background, inside a group */
#define LIST_MENU_TOP 2   /* background, at the top level */
#define LIST_MENUS_PER_LANGUAGE 3

#define IDR_ACCELERATORS 712

/* Dialog templates. */
#define IDD_OPTIONS 702
#define IDD_ABOUT 703
#define IDD_PROPERTY 704
#define IDD_CONTROL 723
#define IDD_CONNECTING 724 /* also the progress window of a schedule delivery */

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
/* Icons of the control window's machine picture. */
#define IDI_SERIAL_PORT 729 /* "COM" of models 3 to 9 */
#define IDI_LAN_PORT 730    /* "LAN", and "COM" of models 10 to 13 */
#define IDI_SENSOR_PORT 735 /* "TEMP" and "AUX" */
#define IDI_OUTLET 736      /* an outlet of type 0x11 (100V, 15A) */

/* Window commands. */
#define IDM_TREE_RENAME 32770
#define IDM_TREE_DELETE 32771
#define IDM_TREE_EXPAND 32772 /* labelled Expand or Fold at run time */
#define IDM_LIST_OPEN 32773
#define IDM_LIST_DELETE 32774
#define IDM_LIST_PROPERTY 32775
#define IDM_LIST_RENAME 32776
#define IDM_LIST_NEW_GROUP 32777
#define IDM_DELIVER_SCHEDULE 32778 /* list pane: deliver a schedule file */
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
/* New device of a model (list pane); the menus offer only IDM_NEW_GV2208. */
#define IDM_NEW_HX7200 32787  /* model code 3 */
#define IDM_NEW_JB81K 32788   /* 5 */
#define IDM_NEW_SWD6ZK 32789  /* 7 */
#define IDM_NEW_SWD8KBN 32832 /* 10 */
#define IDM_NEW_SWD7KA 32834  /* 8 */
#define IDM_NEW_SWD7KB 32836  /* 9 */
#define IDM_NEW_SWD12K 32838  /* 11 */
#define IDM_NEW_SWDQ6M 32840  /* 12 */
#define IDM_NEW_GV2208 32841  /* 13 */

/* Buttons shared by the tabbed dialogs and the property dialog (OK and
   Cancel are IDOK and IDCANCEL). */
#define IDC_APPLY 4
#ifndef IDC_STATIC
#define IDC_STATIC (-1) /* labels and frames the code never addresses */
#endif

/* Options dialog (702). */
#define IDC_OPTIONS_TAB 1031

/* About dialog (703). */
#define IDC_ABOUT_ICON 2      /* the icon static: the id the layout gives it */
#define IDC_ABOUT_PRODUCT 714 /* "%s Ver %s" */
#define IDC_ABOUT_COPYRIGHT 715

/* Property dialog (704). Labels and their fields; the user name row sits
   on the password row, and for the user-login models the password row
   moves down one row (PROPERTY_ROW_DLU dialog units), onto the prompt row. */
#define IDC_PROP_TAB 1000
#define IDC_PROP_NAME 1002
#define IDC_PROP_MODEL_LABEL 1003
#define IDC_PROP_MODEL 1004
#define IDC_PROP_ADDRESS_LABEL 1005
#define IDC_PROP_ADDRESS 1006
#define IDC_PROP_MAC_LABEL 1007
#define IDC_PROP_PORT 1013
#define IDC_PROP_SYSNAME_LABEL 1015
#define IDC_PROP_ICON 1016
#define IDC_PROP_PROMPT 1020
#define IDC_PROP_PROMPT_LABEL 1021
#define IDC_PROP_SELECT 1022
#define IDC_PROP_SELECT_LABEL 1023
#define IDC_PROP_PASSWORD 1024
#define IDC_PROP_PASSWORD_LABEL 1025
#define IDC_PROP_LOGIN 1026
#define IDC_PROP_USER_LABEL 1028
#define IDC_PROP_USER 1030
#define IDC_PROP_MAC 1032
#define IDC_PROP_SYSNAME 1040
#define PROPERTY_ROW_DLU 16

/* Device control window (723). */
#define IDC_CONTROL_TAB 1014

/* Connecting window and delivery progress window (724). The Cancel button
   (IDCANCEL) is hidden; the progress window shows it. */
#define IDC_CONNECTING_TEXT 1027

/* Timers, private messages and child windows of the main window. */
#define IDT_MAIN_TIMER 32795
#define IDT_CONTROL_TIMER 32794 /* device control window, 100 ms */
#define WM_ZELO_TRAY 10001
#define IDC_STATUS_BAR 713

/* Child windows of the panes. */
#define IDC_GROUP_COMBO 716
#define IDC_DEVICE_LIST 717
#define IDC_GROUP_TREE 718

#endif

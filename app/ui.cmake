target_sources(kelvra_ui PRIVATE
  app/AboutDlg.cpp app/AboutDlg.h
  app/AboutTemplate.cpp app/AboutTemplate.h
  app/KelvraApp.cpp app/KelvraApp.h
  app/KelvraDoc.cpp app/KelvraDoc.h
  app/MainFrame.cpp app/MainFrame.h
  app/OptionsDlg.cpp app/OptionsDlg.h
  app/TrayMenu.cpp app/TrayMenu.h
  app/Reminders.cpp app/Reminders.h
  app/Menus.cpp app/Menus.h
)

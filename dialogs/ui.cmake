target_sources(kelvra_ui PRIVATE
  dialogs/AddTimeDlg.cpp dialogs/AddTimeDlg.h
  dialogs/FieldNamesDlg.cpp dialogs/FieldNamesDlg.h
  dialogs/FieldNamesTemplate.cpp dialogs/FieldNamesTemplate.h
  dialogs/PeriodDlg.cpp dialogs/PeriodDlg.h
)

target_sources(kelvra_ui PRIVATE
  dialogs/FieldNamesDlg.cpp dialogs/FieldNamesDlg.h
)

# Sources of controls/ in kelvra_ui.

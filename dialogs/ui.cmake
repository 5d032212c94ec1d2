# Sources of dialogs/ in kelvra_ui.

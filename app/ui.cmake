# Sources of app/ in kelvra_ui.

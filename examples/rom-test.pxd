<Design>
	<DisplayItems>
		<DisplayItem>
			<Position X="0" Y="0" Width="20" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="ROM test: ä ö ü °"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="1" Width="20" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="back\slash tilde~"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="2" Width="20" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="Right: rom matches"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="3" Width="20" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="Wrong: set the other"/>
		</DisplayItem>
	</DisplayItems>
	<Background FileName=""/>
</Design>
